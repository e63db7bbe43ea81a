// Home folder on Linux: $HOME when set and not empty, else the password
// database's entry for the real user.
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "platform/platform.h"

int PlatformHomeFolder(char* out, int size) {
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    struct passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] == '\0') return 0;
  size_t n = strlen(home);
  while (n > 1 && home[n - 1] == '/') --n;  // no trailing '/', as the folder queries expect
  int written = snprintf(out, size, "%.*s", (int)n, home);
  if (written < 0 || written >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
