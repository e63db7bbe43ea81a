// Path helpers: pointers into the caller's string, no copies.
#include "util/filename.h"

#include <unistd.h>

const char* GetFileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == ':' || *p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}

const char* GetFileExt(const char* path) {
  const char* ext = nullptr;
  const char* p = path;
  for (; *p != '\0'; ++p) {
    if (*p == '.') {
      ext = p + 1;
    } else if (*p == '\\') {
      ext = nullptr;
    }
  }
  return ext != nullptr ? ext : p;
}

int fsGetCurrentDir(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  if (getcwd(buffer, static_cast<size_t>(size)) != nullptr) return 1;
  buffer[0] = '\0';
  return 0;
}
