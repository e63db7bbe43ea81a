// Alerts and questions on Linux.
//
// ORVAN_DIALOG picks the backend:
//   gui       zenity, else kdialog, as a child process that is waited for;
//   terminal  the text on standard error, the answer one line of standard
//             input (a terminal or a pipe);
//   none      the text on standard error; a question is Cancel.
// Unset (or any other value): gui when DISPLAY or WAYLAND_DISPLAY is set and
// a tool is found, else terminal when standard input is a terminal, else
// none. A backend that cannot show the dialog hands it on along that order
// (gui, then terminal when standard input is a terminal, then none), so a
// question nobody could answer is Cancel and an alert's text always ends up
// somewhere.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/spawn_linux.h"

extern char** environ;

static PlatformDialogFunction s_override;

void PlatformSetDialogOverride(PlatformDialogFunction fn) { s_override = fn; }

namespace {

enum Backend { kGui, kTerminal, kNone, kAuto };

Backend ChosenBackend(void) {
  const char* v = getenv("ORVAN_DIALOG");
  if (v == nullptr) return kAuto;
  if (strcmp(v, "gui") == 0) return kGui;
  if (strcmp(v, "terminal") == 0) return kTerminal;
  if (strcmp(v, "none") == 0) return kNone;
  return kAuto;
}

int IsSet(const char* name) {
  const char* v = getenv(name);
  return v != nullptr && v[0] != '\0';
}

int StdinIsOpen(void) { return fcntl(0, F_GETFD) != -1; }

// --- gui ---------------------------------------------------------------------

enum Tool { kZenity, kKdialog };

// Looks `name` up in $PATH. Empty entries (the working directory, which is
// the game's resources folder) are not searched.
int FindInPath(const char* name, char* out, size_t size) {
  const char* path = getenv("PATH");
  if (path == nullptr) path = "/usr/local/bin:/usr/bin:/bin";
  while (*path != '\0') {
    const char* end = strchr(path, ':');
    size_t len = end != nullptr ? (size_t)(end - path) : strlen(path);
    if (len > 0) {
      int n = snprintf(out, size, "%.*s/%s", (int)len, path, name);
      struct stat st;
      if (n > 0 && (size_t)n < size && stat(out, &st) == 0 && S_ISREG(st.st_mode) &&
          access(out, X_OK) == 0) {
        return 1;
      }
    }
    if (end == nullptr) break;
    path = end + 1;
  }
  out[0] = '\0';
  return 0;
}

int FindTool(Tool* tool, char* path, size_t size) {
  if (FindInPath("zenity", path, size)) {
    *tool = kZenity;
    return 1;
  }
  if (FindInPath("kdialog", path, size)) {
    *tool = kKdialog;
    return 1;
  }
  return 0;
}

// Length of the valid UTF-8 sequence at `p` (shortest form, no surrogates,
// at most U+10FFFF), or 0.
int Utf8SequenceLength(const unsigned char* p) {
  if (p[0] < 0x80) return 1;
  int len;
  unsigned cp;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    len = 2;
    cp = p[0] & 0x1F;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    len = 3;
    cp = p[0] & 0x0F;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    len = 4;
    cp = p[0] & 0x07;
  } else {
    return 0;
  }
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the terminator
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return len;
}

// Appends `text` to out[*used..] as UTF-8: valid sequences as they are, every
// other byte as the Latin-1 character of that value. GTK and Qt refuse text
// that is not UTF-8, and the launcher's texts are 8-bit. 0 when it does not fit.
int AppendUtf8(const char* text, char* out, size_t size, size_t* used) {
  for (const unsigned char* p = (const unsigned char*)text; *p;) {
    int len = Utf8SequenceLength(p);
    if (len > 0) {
      if (*used + len >= size) return 0;
      memcpy(out + *used, p, len);
      *used += len;
      p += len;
    } else {
      if (*used + 2 >= size) return 0;
      out[(*used)++] = (char)(0xC0 | (*p >> 6));
      out[(*used)++] = (char)(0x80 | (*p & 0x3F));
      ++p;
    }
  }
  out[*used] = '\0';
  return 1;
}

int ToUtf8(const char* prefix, const char* text, char* out, size_t size) {
  size_t used = strlen(prefix);
  if (used >= size) return 0;
  memcpy(out, prefix, used + 1);
  return AppendUtf8(text, out, size, &used);
}

int HasHighBytes(const char* s) {
  for (; *s; ++s) {
    if ((unsigned char)*s > 0x7F) return 1;
  }
  return 0;
}

// The tools read their arguments in the locale's character set; in a locale
// that is not UTF-8 (such as "C") GTK refuses non-ASCII text outright. Such a
// child gets LC_CTYPE=C.UTF-8 instead, everything else unchanged.
int LocaleIsUtf8(void) {
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const char* name : names) {
    const char* v = getenv(name);
    if (v != nullptr && v[0] != '\0') {
      return strcasestr(v, "UTF-8") != nullptr || strcasestr(v, "utf8") != nullptr;
    }
  }
  return 0;
}

const int kMaxEnv = 1024;

// Fills `env` with this process's environment, LC_ALL and LC_CTYPE replaced
// by LC_CTYPE=C.UTF-8. 0 when it holds too many entries.
int Utf8Environment(char** env) {
  static char ctype[] = "LC_CTYPE=C.UTF-8";
  int n = 0;
  for (char** e = environ; *e != nullptr; ++e) {
    if (strncmp(*e, "LC_ALL=", 7) == 0 || strncmp(*e, "LC_CTYPE=", 9) == 0) continue;
    if (n >= kMaxEnv - 2) return 0;
    env[n++] = *e;
  }
  env[n++] = ctype;
  env[n] = nullptr;
  return 1;
}

// What the tool wrote on standard error is kept in a memory file: GTK reports
// a display it cannot open only there, with the same exit status as Cancel.
// It is passed on to our own standard error afterwards.
int ToolFailedToOpenDisplay(int fd) {
  char buf[8192];
  ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return 0;
  buf[n] = '\0';
  fwrite(buf, 1, (size_t)n, stderr);
  return strstr(buf, "cannot open display") != nullptr ||
         strstr(buf, "could not connect to display") != nullptr;
}

// Runs the tool and waits for it. 1 with *answer set when the dialog was
// shown; 0 when the tool could not show it.
int ShowWithTool(Tool tool, const char* toolPath, int kind, const char* title, const char* text,
                 int* answer) {
  // Each text in its own argument, "--name=value" form for zenity so that a
  // text starting with '-' is never taken for an option.
  char titleArg[512];
  char textArg[2048];
  const char* argv[12];
  int argc = 0;
  if (tool == kZenity) {
    if (!ToUtf8("--title=", title, titleArg, sizeof titleArg) ||
        !ToUtf8("--text=", text, textArg, sizeof textArg)) {
      return 0;
    }
    argv[argc++] = "zenity";
    argv[argc++] = kind == kPlatformQuestion ? "--question" : "--error";
    argv[argc++] = titleArg;
    argv[argc++] = "--no-markup";
    argv[argc++] = textArg;
    if (kind == kPlatformQuestion) {
      argv[argc++] = "--ok-label=OK";
      argv[argc++] = "--cancel-label=Cancel";
    }
  } else {
    if (!ToUtf8("", title, titleArg, sizeof titleArg) || !ToUtf8("", text, textArg, sizeof textArg)) {
      return 0;
    }
    argv[argc++] = "kdialog";
    argv[argc++] = "--title";
    argv[argc++] = titleArg;
    if (kind == kPlatformQuestion) {
      argv[argc++] = "--yesno";
      argv[argc++] = textArg;
      argv[argc++] = "--yes-label";
      argv[argc++] = "OK";
      argv[argc++] = "--no-label";
      argv[argc++] = "Cancel";
    } else {
      argv[argc++] = "--error";
      argv[argc++] = textArg;
    }
  }
  argv[argc] = nullptr;

  char* utf8Env[kMaxEnv];
  char** env = environ;
  if ((HasHighBytes(titleArg) || HasHighBytes(textArg)) && !LocaleIsUtf8() &&
      Utf8Environment(utf8Env)) {
    env = utf8Env;
  }

  int errFd = memfd_create("orvan-dialog-stderr", MFD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  InitChildSpawnAttr(&attr, 0);

  pid_t pid = -1;
  int rc = posix_spawn(&pid, toolPath, &actions, &attr, const_cast<char* const*>(argv), env);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    if (errFd >= 0) close(errFd);
    return 0;
  }

  int status = 0;
  pid_t done;
  while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  int noDisplay = errFd >= 0 && ToolFailedToOpenDisplay(errFd);
  if (errFd >= 0) close(errFd);
  if (done != pid || !WIFEXITED(status)) return 0;

  // 0: OK; 1: Cancel, or the window was closed; anything else is the tool's
  // own failure (such as an option it does not know).
  int code = WEXITSTATUS(status);
  if (code == 1 && noDisplay) return 0;
  if (code != 0 && code != 1) return 0;
  *answer = kind == kPlatformAlert ? 1 : (code == 0 ? 1 : 0);
  return 1;
}

// --- terminal ------------------------------------------------------------------

// Reads one line from standard input a byte at a time, so that nothing
// beyond it is taken from a pipe that later questions read too. Keeps the
// line without its blanks at either end; `*tooLong` when it did not fit.
// 0 at end of input (or a read error) before any character.
int ReadAnswerLine(char* out, size_t size, int* tooLong) {
  size_t n = 0;
  int any = 0;
  *tooLong = 0;
  for (;;) {
    char c;
    ssize_t got = read(0, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    any = 1;
    if (c == '\n') break;
    if (n == 0 && (c == ' ' || c == '\t')) continue;
    if (n + 1 < size) {
      out[n++] = c;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      *tooLong = 1;
    }
  }
  while (n > 0 && (out[n - 1] == ' ' || out[n - 1] == '\t' || out[n - 1] == '\r')) --n;
  out[n] = '\0';
  return any;
}

int IsYes(const char* answer) {
  const char* yes[] = {"ok", "o", "yes", "y"};
  for (const char* y : yes) {
    if (strcasecmp(answer, y) == 0) return 1;
  }
  return 0;
}

// 0 when standard input is closed: nobody could answer.
int ShowInTerminal(int kind, const char* title, const char* text, int* answer) {
  if (!StdinIsOpen()) return 0;
  fprintf(stderr, "%s: %s\n%s", title, text, kind == kPlatformQuestion ? "[OK/Cancel] " : "[OK] ");
  fflush(stderr);
  char line[64];
  int tooLong = 0;
  int got = ReadAnswerLine(line, sizeof line, &tooLong);
  // A typed answer ends the prompt's line through the terminal's echo; an
  // answer from a pipe, or none, does not.
  if (!got || !isatty(0)) fputc('\n', stderr);
  if (kind == kPlatformAlert) {
    *answer = 1;
  } else {
    *answer = got && !tooLong && IsYes(line) ? 1 : 0;
  }
  return 1;
}

int ShowNone(int kind, const char* title, const char* text) {
  fprintf(stderr, "%s: %s\n", title, text);
  fflush(stderr);
  return kind == kPlatformAlert ? 1 : 0;
}

}  // namespace

int PlatformShowDialog(int kind, const char* title, const char* text) {
  if (s_override != nullptr) return s_override(kind, title, text);
  if (title == nullptr) title = "";
  if (text == nullptr) text = "";

  Backend backend = ChosenBackend();
  int answer = 0;
  if (backend == kGui || backend == kAuto) {
    Tool tool;
    char toolPath[4096];
    int tryGui = backend == kGui || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    if (tryGui && FindTool(&tool, toolPath, sizeof toolPath) &&
        ShowWithTool(tool, toolPath, kind, title, text, &answer)) {
      return answer;
    }
  }
  if (backend == kTerminal || ((backend == kGui || backend == kAuto) && isatty(0))) {
    if (ShowInTerminal(kind, title, text, &answer)) return answer;
  }
  return ShowNone(kind, title, text);
}
