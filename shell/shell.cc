// The shell's own decisions, apart from the frame that applies them.
#include "shell/shell.h"

#include <SDL.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "launcher/launcher.h"

ShellArguments ApplyArgumentRule(int argc, char** argv) {
  ShellArguments args;
  args.argv = argv;
  if (argc >= 2 && strncmp(argv[1], "-psn", 4) == 0) {
    args.argc = 1;
    args.finderLaunch = 1;
  } else {
    args.argc = argc;
    args.finderLaunch = 0;
  }
  return args;
}

int NeedsExecutablePath(const char* argv0) {
  if (argv0 == nullptr || argv0[0] != '/') return 1;
  struct stat st;
  return lstat(argv0, &st) == 0 && S_ISLNK(st.st_mode);
}

void ApplicationName(const char* bundleName, const char* processName, char* out, int size) {
  const char* name = bundleName != nullptr && bundleName[0] != '\0' ? bundleName : processName;
  snprintf(out, (size_t)size, "%s", name != nullptr ? name : "");
}

void InitMenuBar(ShellMenuBar* bar) {
  memset(bar, 0, sizeof *bar);
  bar->applicationMenu = -1;
}

static ShellMenuItem* AddItem(ShellMenu* menu, const char* title, const char* action,
                              const char* key) {
  if (menu->count >= kShellMenuItems) return nullptr;
  ShellMenuItem* item = &menu->items[menu->count++];
  memset(item, 0, sizeof *item);
  snprintf(item->title, sizeof item->title, "%s", title);
  item->action = action;
  item->keyEquivalent = key;
  item->modifierMask = NSCommandKeyMask;  // what a new item's key equivalent uses
  return item;
}

static void AddSeparator(ShellMenu* menu) {
  ShellMenuItem* item = AddItem(menu, "", nullptr, "");
  if (item == nullptr) return;
  item->modifierMask = 0;
  item->isSeparator = 1;
}

void SetApplicationMenu(ShellMenuBar* bar, const char* appName) {
  if (bar->count >= kShellMenuBarItems) return;
  char title[sizeof(ShellMenuItem::title)];
  ShellMenu* menu = &bar->menus[bar->count];
  memset(menu, 0, sizeof *menu);  // titled ""

  snprintf(title, sizeof title, "Hide %s", appName);
  AddItem(menu, title, "hide:", "h");
  ShellMenuItem* others = AddItem(menu, "Hide Others", "hideOtherApplications:", "h");
  if (others != nullptr) others->modifierMask = NSAlternateKeyMask | NSCommandKeyMask;
  AddItem(menu, "Show All", "unhideAllApplications:", "");
  AddSeparator(menu);
  snprintf(title, sizeof title, "Quit %s", appName);
  AddItem(menu, title, "terminate:", "q");

  // The menu-bar item that holds it: no title, no action, no key.
  ShellMenuItem* holder = &bar->items[bar->count];
  memset(holder, 0, sizeof *holder);
  holder->action = nullptr;
  holder->keyEquivalent = "";
  bar->applicationMenu = bar->count;
  ++bar->count;
}

void ShellTerminate(void) {
  SDL_Event event;
  memset(&event, 0, sizeof event);
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);  // what the quit event does is the engine's affair
}

int ComposeOpenFileMessage(const char* path, char* out, int size) {
  // 246 = 256 less the 9 characters of "OpenFile|" and the terminator:
  // engines have only ever been handed messages of at most 255 bytes.
  const int kMaxPath = 246;
  int n = snprintf(out, (size_t)size, "OpenFile|%.*s", kMaxPath, path);
  return n >= 0 && n < size && strlen(path) <= (size_t)kMaxPath;
}

int ShellOpenFile(const char* path) {
  char message[256];
  ComposeOpenFileMessage(path, message, sizeof message);
  SendIPC(message);
  return 1;
}

int StringByReplacingRange(const char* text, int location, int length, const char* with,
                           char* out, int size) {
  if (size <= 0) return 0;
  out[0] = '\0';
  size_t textLength = strlen(text);
  if (location < 0 || length < 0 || (size_t)location > textLength ||
      (size_t)length > textLength - (size_t)location) {
    return 0;
  }
  const char* after = text + location + length;
  int n = snprintf(out, (size_t)size, "%.*s%s%s", location, text, with, after);
  if (n < 0 || n >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
