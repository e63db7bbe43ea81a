// The running executable's path on Linux.
#include <unistd.h>

#include "platform/platform.h"

int PlatformExecutablePath(char* out, int size) {
  if (size <= 0) return 0;
  // The kernel's link names the file that was executed, every symbolic link
  // on the way resolved, whatever argv[0] says.
  ssize_t n = readlink("/proc/self/exe", out, (size_t)size);
  if (n <= 0 || n >= size) {
    out[0] = '\0';
    return 0;
  }
  out[n] = '\0';
  return 1;
}
