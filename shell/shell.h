// The desktop application around the launch cycles: the launch-argument
// rule, the application name and menu, and what becomes of the desktop's
// quit and open-file requests. The frame that applies them is shell/main.cc.
#ifndef ORVAN_SHELL_SHELL_H
#define ORVAN_SHELL_SHELL_H

// ---------------------------------------------------------------------------
// Launch arguments.

struct ShellArguments {
  int argc;                    // how many arguments the launch cycles see
  char** argv;                 // the process's own vector, not copied
  unsigned char finderLaunch;  // 1 when the desktop's launch argument was there
};

// A first argument after the program name that begins with "-psn" is the
// argument a desktop adds when it starts the application: the cycles then
// see the program name alone. Only the first argument is tested.
ShellArguments ApplyArgumentRule(int argc, char** argv);

// 1 when argv[0] cannot be trusted to lead to the bundle, so that the
// executable's resolved path must be handed on instead: a null or empty
// argv[0], one without a '/' (found through PATH), a relative one (the
// launch cycle changes the working directory), or one that names a symbolic
// link (started as /usr/games/game). 0 for an absolute path to the file.
int NeedsExecutablePath(const char* argv0);

// ---------------------------------------------------------------------------
// Application name and menu.

// The bundle's name when it has one, else the process's name. Either may be
// null. Writes at most size - 1 bytes and a terminator.
void ApplicationName(const char* bundleName, const char* processName, char* out, int size);

// The desktop's modifier bits for key equivalents.
const unsigned int NSAlternateKeyMask = 1u << 19;
const unsigned int NSCommandKeyMask = 1u << 20;

struct ShellMenuItem {
  char title[288];            // "Hide " or "Quit " and a 255-byte name fit
  const char* action;         // the action's name; null for a separator
  const char* keyEquivalent;  // "" for none
  unsigned int modifierMask;
  int isSeparator;
};

const int kShellMenuItems = 8;

struct ShellMenu {
  char title[64];
  int count;
  ShellMenuItem items[kShellMenuItems];
};

// The menu bar: top-level items, each with the menu below it.
const int kShellMenuBarItems = 4;

struct ShellMenuBar {
  int count;
  ShellMenuItem items[kShellMenuBarItems];
  ShellMenu menus[kShellMenuBarItems];
  int applicationMenu;  // index of the application's own menu; -1 for none
};

// An empty menu bar.
void InitMenuBar(ShellMenuBar* bar);
// Appends the application menu for `appName` to `bar` and marks it as the
// application's own. No Window menu is added.
void SetApplicationMenu(ShellMenuBar* bar, const char* appName);

// ---------------------------------------------------------------------------
// Requests from the desktop.

// The quit request: leaves one quit event in the media layer's queue for the
// engine to act on. A quit event the media layer refuses is lost.
void ShellTerminate(void);

// Writes "OpenFile|" and at most the first 246 bytes of `path` into `out`
// (256 bytes or more). Returns 1 when the whole path fitted.
int ComposeOpenFileMessage(const char* path, char* out, int size);

// The open-file request: relays the file to the engine through SendIPC,
// which holds it until the engine is ready. Always 1.
int ShellOpenFile(const char* path);

// ---------------------------------------------------------------------------
// Strings.

// Writes `text` with the `length` bytes at `location` replaced by `with`.
// A range that does not lie within `text`, or a result that does not fit,
// is refused: 0 and an empty `out`.
int StringByReplacingRange(const char* text, int location, int length, const char* with,
                           char* out, int size);

#endif
