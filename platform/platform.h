// The platform layer: everything the launcher needs from the operating system
// beyond ISO C and POSIX files, declared once. Each platform implements it in
// its own files (platform/*_linux.cc here); the launcher's logic calls only
// these functions, so it reads the same everywhere and can be tested without
// a display.
//
// Contract for an implementer:
//  - Every function returns 1 for success and 0 for failure unless stated.
//  - Text goes in and out as zero-terminated 8-bit strings in caller buffers;
//    nothing is written past `size` bytes, and a result that does not fit is
//    a failure, never a cut value.
//  - No function throws, exits the process or keeps a child process waiting
//    to be reaped.
#ifndef ORVAN_PLATFORM_PLATFORM_H
#define ORVAN_PLATFORM_PLATFORM_H

#include <stdint.h>

// --- Home folder -----------------------------------------------------------
// The current user's home folder, without a trailing '/'. 0 when there is
// none (no $HOME and no password entry) or it does not fit.
int PlatformHomeFolder(char* out, int size);

// --- Dialogs ---------------------------------------------------------------
enum PlatformDialogKind {
  kPlatformAlert = 0,     // one OK button
  kPlatformQuestion = 1,  // OK (default) and Cancel
};
// Shows a modal dialog titled `title` with `text` verbatim and waits for the
// answer. Returns 1 only when the user chose OK; an alert that was shown and
// dismissed also returns 1. A dialog nobody could answer returns 0.
int PlatformShowDialog(int kind, const char* title, const char* text);

// Tests replace the dialog backend with a function of their own; null puts
// the real backend back.
typedef int (*PlatformDialogFunction)(int kind, const char* title, const char* text);
void PlatformSetDialogOverride(PlatformDialogFunction fn);

// --- Web browser -----------------------------------------------------------
// Starts the user's browser on `url` without waiting for it. 1 when the
// opener was started.
int PlatformOpenUrl(const char* url);

// --- Process identity ------------------------------------------------------
// 8 bytes naming a running process: bytes 0-3 the process id, bytes 4-7 the
// low 32 bits of its start time, each a uint32_t in host order.
struct PlatformProcessId {
  unsigned char bytes[8];
};
int PlatformCurrentProcess(PlatformProcessId* out);
// 1 when the named process runs now (same start time, not a zombie).
int PlatformProcessIsLive(const PlatformProcessId* id);

// --- Instance lock ---------------------------------------------------------
// An exclusive lock held across the instance guard's read-test-write, so that
// of launches started together exactly one takes the record. Blocks until it
// is held. Returns a token for PlatformUnlockInstance, or -1 when no lock
// could be made (the guard then runs unlocked).
int PlatformLockInstance(void);
void PlatformUnlockInstance(int token);

// --- Preferences -----------------------------------------------------------
// A persistent key-value store per scope (nonzero: all users; 0: the current
// user), always for the current machine. Values are 8-bit texts.
// Write and remove return 1 only when the change is on permanent storage.
int PlatformPrefsWrite(int allUsers, const char* domain, const char* key, const char* value);
int PlatformPrefsRemove(int allUsers, const char* domain, const char* key);
// 1 and the value in `out` when a text value is stored and fits in `size`
// bytes with its terminator; 0 otherwise. Never creates anything.
int PlatformPrefsRead(int allUsers, const char* domain, const char* key, char* out, int size);
// The folder that holds a scope's database, without a trailing '/'. With
// `create` nonzero the folder and any missing parents are made first (a
// user's own folders with mode 0700). 0 when it cannot be named, does not
// fit or, with `create`, cannot be made.
int PlatformPrefsFolder(int allUsers, int create, char* out, int size);
// How long a read or write waits for another process's lock on a database
// before it gives up (default 5000 ms). For tests.
void PlatformPrefsSetBusyTimeout(int milliseconds);

// --- Executable ------------------------------------------------------------
// The running executable's full path with every symbolic link resolved,
// whatever argv[0] says. 0 when it is not known or does not fit.
int PlatformExecutablePath(char* out, int size);

// --- Quit requests ---------------------------------------------------------
// The desktop's requests to end the program: SIGTERM, SIGINT and SIGHUP here.
// They never end the process by themselves; each one is handed once to a
// function of the caller's, on a thread of the platform's, and only while
// requests are accepted. Requests that arrive while they are not are held
// and handed on, once each, when they are accepted again.
typedef void (*PlatformQuitFunction)(void);
// Starts watching (once per process; a later call only replaces `deliver`).
// A signal that is ignored, or already has a handler, is left as it is.
// 0 when watching could not start: the signals then keep their defaults.
int PlatformWatchQuitRequests(PlatformQuitFunction deliver);
// Nonzero: held requests are handed on now, on the calling thread, and later
// ones as they come. Zero: from the return on, no request is being handed on
// and new ones are held. Callers bracket the time `deliver` may run.
void PlatformAcceptQuitRequests(int accept);
// How many requests have arrived so far, handed on or held.
int PlatformQuitRequestCount(void);

#endif
