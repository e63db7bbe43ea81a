// Where the launcher works: the resources folder derived from argv[0], and the
// per-user data folder that holds the log.
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

int FormatWhole(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsnprintf(out, size, format, args);
  va_end(args);
  if (n < 0 || (size_t)n >= size) {
    if (size > 0) out[0] = '\0';
    return 0;
  }
  return 1;
}

void SetPath(char* argv0) {
  // A path that does not fit is refused whole: a cut one names another folder.
  if (!FormatWhole(g_AppExePath, sizeof g_AppExePath, "%s", argv0)) {
    g_AppFilename[0] = '\0';
    g_AppPath[0] = '\0';
    return;
  }
  const char* last = strrchr(argv0, '/');
  snprintf(g_AppFilename, sizeof g_AppFilename, "%s", last ? last + 1 : argv0);

  // Keep everything up to and including the '/' before the last one: that
  // drops the executable and the folder holding it (Contents/MacOS).
  size_t keep = 0;
  if (last != nullptr) {
    for (const char* p = last; p > argv0;) {
      --p;
      if (*p == '/') {
        keep = (size_t)(p - argv0) + 1;
        break;
      }
    }
  }
  if (!FormatWhole(g_AppPath, sizeof g_AppPath, "%.*sResources", (int)keep, argv0)) return;
  fsSetCurrentDir(g_AppPath);
}

int fsSetCurrentDir(char* path) { return chdir(path); }

const char* GetHomePath(void) {
  s_sTempPath[0] = '\0';
  if (!PlatformHomeFolder(s_sTempPath, sizeof s_sTempPath)) return nullptr;
  return s_sTempPath;
}

static const char* HomeSubfolder(const char* sub) {
  if (GetHomePath() == nullptr) return nullptr;
  size_t used = strlen(s_sTempPath);
  if (!FormatWhole(s_sTempPath + used, sizeof s_sTempPath - used, "%s", sub)) return nullptr;
  return s_sTempPath;
}

const char* GetAppDataPath(void) { return HomeSubfolder("/Library/Application Support"); }

const char* GetMyDocumentsPath(void) { return HomeSubfolder("/Documents"); }

int fsCreateDirectory(const char* path) {
  if (mkdir(path, 0777) == 0 || errno == EEXIST) return 1;
  return 0;
}

int fsCreatePath(const char* path) {
  char prefix[1024];
  size_t n = strlen(path);
  if (n >= sizeof prefix) return 0;
  size_t i = 0;
  if (path[0] == '/') {
    prefix[0] = '/';
    i = 1;
  }
  while (i < n) {
    while (i < n && path[i] != '/') {
      prefix[i] = path[i];
      ++i;
    }
    prefix[i] = '\0';
    if (!fsCreateDirectory(prefix)) return 0;
    if (i < n) {
      prefix[i] = '/';  // the separator joins the next component
      ++i;
    }
  }
  return 1;
}

int fsIsDirectoryWriteable(const char* folder) {
  if (!fsCreatePath(folder)) return 0;
  char probe[1024];
  if (!FormatWhole(probe, sizeof probe, "%s%c__BRF_WRITE_TEST__.txt", folder, '/')) return 0;
  FILE* fp = fopen(probe, "w");
  if (fp == nullptr) return 0;
  fclose(fp);
  remove(probe);
  return 1;
}

// Composes the user folder below `base` into g_UserPath, leaving room for the
// final '/'; empty when it does not fit or cannot be written.
static void TryUserFolder(const char* base) {
  if (base == nullptr) return;
  if (!FormatWhole(g_UserPath, sizeof g_UserPath - 1, "%s%cBrambleford%c%s", base, '/', '/',
                   g_AppNameLong)) {
    return;
  }
  if (!fsIsDirectoryWriteable(g_UserPath)) g_UserPath[0] = '\0';
}

void GetUserPath(void) {
  if (g_UserPath[0] != '\0') return;
  TryUserFolder(GetAppDataPath());
  if (g_UserPath[0] == '\0') TryUserFolder(GetMyDocumentsPath());
  if (g_UserPath[0] == '\0') {
    Alertf("FAILED to find a writeable folder for game data!");
    exit(0);
  }
  size_t n = strlen(g_UserPath);
  g_UserPath[n] = '/';
  g_UserPath[n + 1] = '\0';
}
