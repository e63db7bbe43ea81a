// Process identity and the instance lock on Linux.
//
// A process id alone does not name a process for long: ids are reused. The
// identity adds the process's start time (clock ticks after boot), which a
// process with a reused id does not share.
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

// State and start time of process `pid` from /proc/<pid>/stat. The second
// field is the command name in parentheses, which may itself hold blanks and
// ')', so the fields are counted from the last ')' on.
int ReadStat(uint32_t pid, char* state, unsigned long long* startTime) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%u/stat", (unsigned)pid);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[4096];
  ssize_t n;
  do {
    n = read(fd, text, sizeof text - 1);
  } while (n < 0 && errno == EINTR);
  close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';

  char* p = strrchr(text, ')');
  if (p == nullptr) return 0;
  ++p;
  // p now stands before field 3 (state); the start time is field 22.
  for (int field = 3; field <= 22; ++field) {
    while (*p == ' ') ++p;
    if (*p == '\0') return 0;
    if (field == 3) *state = *p;
    if (field == 22) {
      char* end = nullptr;
      errno = 0;
      *startTime = strtoull(p, &end, 10);
      return end != p && errno == 0 && (*end == ' ' || *end == '\n' || *end == '\0');
    }
    while (*p != ' ' && *p != '\0') ++p;
  }
  return 0;
}

void Pack(uint32_t pid, uint32_t start, PlatformProcessId* out) {
  memcpy(out->bytes, &pid, 4);
  memcpy(out->bytes + 4, &start, 4);
}

}  // namespace

int PlatformCurrentProcess(PlatformProcessId* out) {
  uint32_t pid = (uint32_t)getpid();
  char state;
  unsigned long long start;
  if (!ReadStat(pid, &state, &start)) return 0;
  Pack(pid, (uint32_t)start, out);
  return 1;
}

int PlatformProcessIsLive(const PlatformProcessId* id) {
  uint32_t pid;
  uint32_t start;
  memcpy(&pid, id->bytes, 4);
  memcpy(&start, id->bytes + 4, 4);
  if (pid == 0 || pid > 0x7FFFFFFFu) return 0;
  char state;
  unsigned long long actual;
  if (!ReadStat(pid, &state, &actual)) return 0;
  // A zombie has ended and only waits for its parent; 'X' is a dead one.
  return (uint32_t)actual == start && state != 'Z' && state != 'X';
}

// The lock file sits beside the current user's preferences database, so that
// every launch of this user on this machine finds the same one.
int PlatformLockInstance(void) {
  char folder[1024];
  char path[1100];
  if (!PlatformPrefsFolder(0, 1, folder, sizeof folder)) return -1;
  int n = snprintf(path, sizeof path, "%s/instance.lock", folder);
  if (n < 0 || n >= (int)sizeof path) return -1;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void PlatformUnlockInstance(int token) {
  if (token < 0) return;
  flock(token, LOCK_UN);
  close(token);
}
