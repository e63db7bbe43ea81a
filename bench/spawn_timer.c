/* Runs a command and prints its wall-clock time in microseconds, from just
 * before it is started (posix_spawn) to just after it has ended, so that the
 * figure holds the command's own start, run and exit and none of the cost of
 * the shell that asked for it. The command's output goes to /dev/null.
 *
 *   orvan_spawn_timer [-n COUNT] COMMAND [ARG]...
 *
 * With -n the command runs COUNT times, one after the other, and the total
 * is printed. Exit status 1 when a run could not start or did not end with
 * status 0. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

static long long NowUs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

int main(int argc, char** argv) {
  int first = 1;
  long count = 1;
  if (argc > 2 && strcmp(argv[1], "-n") == 0) {
    count = strtol(argv[2], NULL, 10);
    first = 3;
  }
  if (first >= argc || count < 1) {
    fprintf(stderr, "usage: %s [-n COUNT] COMMAND [ARG]...\n", argv[0]);
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  long long start = NowUs();
  for (long i = 0; i < count; ++i) {
    pid_t pid;
    int status;
    if (posix_spawnp(&pid, argv[first], &actions, NULL, argv + first, environ) != 0) {
      fprintf(stderr, "%s: cannot start %s\n", argv[0], argv[first]);
      return 1;
    }
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fprintf(stderr, "%s: %s failed\n", argv[0], argv[first]);
      return 1;
    }
  }
  printf("%lld\n", NowUs() - start);
  posix_spawn_file_actions_destroy(&actions);
  return 0;
}
