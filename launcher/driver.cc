// The launch cycle: brings up the launcher's state and the engine module,
// lets the engine create, run and close the game, and takes everything down
// again; restarted in the same process when the engine asks, ten cycles at most.
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace {

const int kMaxCycles = 10;

// Install-time switches that the engine must not see again at run time.
// `skip` is how many arguments each one takes out, itself included.
struct FilteredSwitch {
  const char* name;
  int skip;
};
const FilteredSwitch kFilteredSwitches[] = {
    {"-install", 1},     {"-installcd", 1},          {"-safemode", 1},
    {"-InstallDeck", 2}, {"-InstallEnvironment", 2}, {"-InstallTutorial", 2},
};

int FilteredSwitchSkip(const char* arg) {
  for (const FilteredSwitch& s : kFilteredSwitches) {
    if (strcasecmp(arg, s.name) == 0) return s.skip;
  }
  return 0;
}

// Appends `a`, `b` to out[*used..]; only whole pieces go in.
int AppendWhole(char* out, int size, int* used, const char* a, const char* b) {
  int n = snprintf(out + *used, size - *used, "%s%s", a, b);
  if (n < 0 || n >= size - *used) {
    out[*used] = '\0';
    return 0;
  }
  *used += n;
  return 1;
}

int HasUninstallSwitch(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-Uninstall") == 0) return 1;
  }
  return 0;
}

}  // namespace

int ComposeCommandLine(int argc, char** argv, char* out, int size) {
  int used = 0;
  out[0] = '\0';
  if (!AppendWhole(out, size, &used, "\"", argv[0]) || !AppendWhole(out, size, &used, "\" ", "")) {
    out[0] = '\0';
    return 0;
  }
  for (int i = 1; i < argc;) {
    int skip = FilteredSwitchSkip(argv[i]);
    if (skip > 0) {
      i += skip;
      continue;
    }
    if (!AppendWhole(out, size, &used, argv[i], " ")) return 0;
    ++i;
  }
  return 1;
}

int ComposeHandOffMessage(int argc, char** argv, char* out, int size) {
  int used = 0;
  out[0] = '\0';
  if (!AppendWhole(out, size, &used, "CommandLine|", "")) return 0;
  for (int i = 0; i < argc; ++i) {
    if (!AppendWhole(out, size, &used, argv[i], "|")) return 0;
  }
  return 1;
}

int SdlMainInit(void) {
  static char mouse[] = "SDL_HAS3BUTTONMOUSE=1";  // putenv keeps the pointer
  putenv(mouse);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    Alertf("SDL Init Failed\n\n%s", SDL_GetError());
    SDL_Quit();  // releases what the failed start left behind
    return 0;
  }
  // Quit requests reach the media layer's queue only while it exists.
  PlatformAcceptQuitRequests(1);
  return 1;
}

void SdlQuit(void) {
  PlatformAcceptQuitRequests(0);
  SDL_VideoQuit();
  SDL_Quit();
}

int Run(int argc, char** argv, int cycle) {
  g_nBuild = 0;
  SetPath(argv[0]);
  snprintf(g_DllName, sizeof g_DllName, "%s", "zizuzo.so");
  if (!InitOrvan()) return 0;

  vokGetAppName(g_AppNameShort, g_AppNameLong, g_AppID, &g_nBuild);
  GetUserPath();
  // A first cycle that hands over shares its log file with the running
  // instance: it must not empty it, only a launch that runs the game does.
  if (cycle == 0) {
    InitLogKeeping();
  } else {
    InitLog(cycle);
  }
  Logf("[main] Orvan Initialized: %s\n", g_AppNameLong);

  if (AlreadyRunning()) {
    ComposeHandOffMessage(argc, argv, g_AppCommandLine, sizeof g_AppCommandLine);
    SendToInstance(g_AppCommandLine);
    return 0;
  }
  LogStartAnew();

  if (HasUninstallSwitch(argc, argv)) return UninstallFlow();

  Logf("[main] Path: %s\n", g_AppPath);
  Logf("[main] Command line:\n");
  for (int i = 0; i < argc; ++i) Logf("       %s\n", argv[i]);
  Logf("[main] DllName: %s\n", g_DllName);
  Logf("[main] AppName: %s  (%s)\n", g_AppNameLong, g_AppNameShort);

  ComposeCommandLine(argc, argv, g_AppCommandLine, sizeof g_AppCommandLine);

  Logf("[main] SdlMainInit\n");
  if (!SdlMainInit()) {
    Logf("[main] SdlMainInit FAILED\n");
    return 0;
  }

  Logf("[main] Creating GameTree\n");
  int exitAtOnce = vokCreate(argc, argv);
  if (g_sDelayedIPC[0] != '\0') {
    SendIPC(g_sDelayedIPC);
    g_sDelayedIPC[0] = '\0';
  }
  if (exitAtOnce) {
    Logf("[main] GameTree requests immediate exit\n");
  } else {
    Logf("[main] Running\n");
    vokRun();
  }

  Logf("[main] Closing\n");
  int restart = vokClose();
  Logf("[main] SDL_Quit\n");
  SdlQuit();
  Logf("[main] Unloading Orvan\n");
  UnloadOrvan();

  if (g_HaveLock) {
    RemoveSystemPreference(1, g_AppNameLong, "PSN");
    RemoveSystemPreference(0, g_AppNameLong, "PSN");
  }
  if (restart) {
    Logf("[main] restart requested\n");
    Logf("       %s\n", g_AppExePath);
  }
  Logf("[main] Exiting\n");
  Logf_flush();
  CloseLog();
  return restart;
}

extern "C" int SDL_main(int argc, char** argv) {
  for (int cycle = 0; cycle < kMaxCycles; ++cycle) {
    if (Run(argc, argv, cycle) == 0) break;
  }
  return 0;
}
