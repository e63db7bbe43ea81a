// The process entry point and the application frame around the launch cycles.
//
// This desktop has no application classes to build the frame from, so it is
// a small one: the application menu is kept as data (there is no menu bar to
// show it in), quit requests are the signals a desktop sends to end a
// program, and the application has finished launching as soon as the frame
// is set up.
#include <stdlib.h>
#include <string.h>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace {

int gArgc;
char** gArgv;
unsigned char gFinderLaunch;

ShellMenuBar gMainMenu;
char gExecutablePath[4096];
char* gOwnArgv[2];

// The launch cycles find the bundle from argv[0], which on the original
// desktop is always the bundle executable's full path. Here a game is often
// started through a symbolic link or a PATH look-up, so the frame hands on
// the executable's resolved path wherever argv[0] would not lead to it.
void HandOnExecutablePath(void) {
  if (gArgc >= 1 && !NeedsExecutablePath(gArgv[0])) return;
  int known = PlatformExecutablePath(gExecutablePath, sizeof gExecutablePath);
  if (gArgc >= 1) {
    if (known) gArgv[0] = gExecutablePath;
    return;
  }
  // Started with no arguments at all: the cycles still need a program name.
  gOwnArgv[0] = gExecutablePath;
  gOwnArgv[1] = nullptr;
  gArgc = 1;
  gArgv = gOwnArgv;
}

void SetupWorkingDirectory(unsigned char /*finderLaunch*/) {
  // Left as the process received it: each launch cycle makes the bundle's
  // resources folder the working directory itself.
}

void ApplicationDidFinishLaunching(void) {
  SetupWorkingDirectory(gFinderLaunch);
  // All launch cycles run inside this call; the process ends with them.
  exit(SDL_main(gArgc, gArgv));
}

void CustomApplicationMain(void) {
  // No bundle information dictionary here: the name is the process's.
  const char* slash = strrchr(gArgv[0], '/');
  char name[256];
  ApplicationName(nullptr, slash != nullptr ? slash + 1 : gArgv[0], name, sizeof name);
  InitMenuBar(&gMainMenu);
  SetApplicationMenu(&gMainMenu, name);
  // No Window menu.

  // Quit requests from now on: one held until the media layer is up reaches
  // the engine as soon as the game starts.
  PlatformWatchQuitRequests(ShellTerminate);

  ApplicationDidFinishLaunching();
}

}  // namespace

int main(int argc, char** argv) {
  ShellArguments args = ApplyArgumentRule(argc, argv);
  gArgc = args.argc;
  gArgv = args.argv;
  gFinderLaunch = args.finderLaunch;
  HandOnExecutablePath();
  CustomApplicationMain();
  return 0;
}
