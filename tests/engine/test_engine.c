/* Test engine module. A test chooses its behaviour through environment
 * variables and reads every call it received, one line each, from $TE_LOG.
 *
 *   TE_LOG       file the calls are appended to (required to record anything)
 *   TE_CREATE    what vokCreate returns (default 0)
 *   TE_CLOSE     what vokClose returns (default 0)
 *   TE_RESTARTS  vokClose returns 1 this many times, then TE_CLOSE
 *   TE_RUN       what vokRun does: "return" (default); "poll": poll SDL events
 *                until SDL_QUIT; "sleep:MS"; "crash": abort(); "wait:PATH":
 *                poll SDL events until SDL_QUIT or until PATH exists
 *   TE_LONG, TE_SHORT, TE_APPID, TE_BUILD  answers of vokGetAppName
 *   TE_TIMES     when 1, every line begins with "SECONDS.NANOSECONDS PID " from
 *                the monotonic clock, so that tests can order the calls of
 *                several processes that share one $TE_LOG
 *
 * Lines: "vokGetAppName", "vokCreate argc=N", "argv[i]=...", "cwd=...",
 * "commandline=..." (the launcher's g_AppCommandLine), "pid=...", "vokRun",
 * "quit-event", "vokClose -> R", "vokSendIPC message".
 */
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "orvan_engine.h"

static int s_closes;

static int EnvInt(const char* name, int fallback) {
  const char* v = getenv(name);
  return v != NULL && v[0] != '\0' ? atoi(v) : fallback;
}

static const char* EnvText(const char* name, const char* fallback) {
  const char* v = getenv(name);
  return v != NULL ? v : fallback;
}

static void Record(const char* format, ...) {
  const char* path = getenv("TE_LOG");
  char line[8192];
  va_list args;
  int fd;
  int n = 0;
  int body;
  if (path == NULL || path[0] == '\0') return;
  if (EnvInt("TE_TIMES", 0) == 1) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    n = snprintf(line, sizeof line, "%lld.%09ld %d ", (long long)now.tv_sec, now.tv_nsec, (int)getpid());
  }
  va_start(args, format);
  body = vsnprintf(line + n, sizeof line - 1 - (size_t)n, format, args);
  va_end(args);
  if (body < 0) return;
  n += body;
  if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
  line[n++] = '\n';
  /* One write per line with O_APPEND: lines of racing processes never mix. */
  fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  if (write(fd, line, (size_t)n) < 0) { /* nothing more to do */ }
  close(fd);
}

int vokGetAppName(char* shortName, char* longName, char* appId, int* build) {
  Record("vokGetAppName");
  snprintf(shortName, 256, "%s", EnvText("TE_SHORT", "TestGame"));
  snprintf(longName, 256, "%s", EnvText("TE_LONG", "Test Game"));
  snprintf(appId, 256, "%s", EnvText("TE_APPID", "test-game"));
  *build = EnvInt("TE_BUILD", 7);
  return 1;
}

int vokCreate(int argc, char** argv) {
  char cwd[4096];
  void* self = dlopen(NULL, RTLD_LAZY);
  const char* commandLine = self ? (const char*)dlsym(self, "g_AppCommandLine") : NULL;
  int i;
  Record("vokCreate argc=%d", argc);
  for (i = 0; i < argc; ++i) Record("argv[%d]=%s", i, argv[i]);
  Record("cwd=%s", getcwd(cwd, sizeof cwd) ? cwd : "?");
  Record("commandline=%s", commandLine ? commandLine : "(none)");
  Record("pid=%d", (int)getpid());
  return EnvInt("TE_CREATE", 0);
}

/* Polls the media layer's events until SDL_QUIT, or until `until` exists. */
static void PollUntilQuit(const char* until) {
  for (;;) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) {
        Record("quit-event");
        return;
      }
    }
    if (until != NULL && access(until, F_OK) == 0) return;
    SDL_Delay(5);
  }
}

int vokRun(void) {
  const char* run = EnvText("TE_RUN", "return");
  Record("vokRun");
  if (strcmp(run, "poll") == 0) PollUntilQuit(NULL);
  if (strncmp(run, "wait:", 5) == 0) PollUntilQuit(run + 5);
  if (strncmp(run, "sleep:", 6) == 0) SDL_Delay((Uint32)atoi(run + 6));
  if (strcmp(run, "crash") == 0) abort();
  return 0;
}

int vokClose(void) {
  int result = s_closes < EnvInt("TE_RESTARTS", 0) ? 1 : EnvInt("TE_CLOSE", 0);
  ++s_closes;
  Record("vokClose -> %d", result);
  return result;
}

#ifndef TEST_ENGINE_WITHOUT_SENDIPC
int vokSendIPC(const char* message) {
  Record("vokSendIPC %s", message);
  return 1;
}
#endif
