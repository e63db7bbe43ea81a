// Web browser on Linux: `xdg-open URL`, started detached.
//
// The browser may run for hours after the launcher has ended, and nobody in
// this process will wait for it. So the opener is started from a short-lived
// intermediate child, which is reaped at once; the opener itself is adopted
// by init (or the session's reaper) and never becomes our zombie. The
// intermediate child uses posix_spawnp, which reports a failed exec (no
// xdg-open) in its result, and passes that on as its exit status.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/spawn_linux.h"

extern char** environ;

int PlatformOpenUrl(const char* url) {
  if (url == nullptr || url[0] == '\0') return 0;

  // Everything that allocates is prepared before fork. The opener gets its
  // own session (a Ctrl-C meant for the launcher does not reach the browser),
  // default signal handling, and /dev/null instead of our standard streams,
  // which may be pipes that somebody reads until every writer has gone.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  InitChildSpawnAttr(&attr, POSIX_SPAWN_SETSID);
  char opener[] = "xdg-open";
  char* argv[] = {opener, const_cast<char*>(url), nullptr};

  pid_t child = fork();
  if (child == 0) {
    pid_t pid;
    int rc = posix_spawnp(&pid, opener, &actions, &attr, argv, environ);
    _exit(rc == 0 ? 0 : 1);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (child < 0) return 0;

  int status = 0;
  pid_t done;
  while ((done = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  return done == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
}
