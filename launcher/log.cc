// The launcher log: one text file in the user folder, every message flushed
// at once so that nothing is lost when the process ends without closing it.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"

static FILE* Logf_fp;

static void WriteBanner(const char* format) {
  char text[256];
  time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr || strftime(text, sizeof text, format, &local) == 0) {
    return;
  }
  fputs(text, Logf_fp);
}

void InitLog(int append) {
  if (Logf_fp != nullptr) return;
  char name[256];
  if (!FormatWhole(name, sizeof name, "%s%s", g_UserPath, g_AppFilename)) return;
  size_t n = strlen(name);
  if (n > 4 && name[n - 4] == '.') name[n - 4] = '\0';  // Game.exe -> Game
  n = strlen(name);
  if (!FormatWhole(name + n, sizeof name - n, ".txt")) return;

  Logf_fp = fopen(name, append ? "ac" : "wc");
  if (Logf_fp == nullptr) return;
  if (append) fputs("\n\n\n\n", Logf_fp);
  WriteBanner("EXE LOG opened %A %B %d, %Y, %I:%M:%S %p\n\n");
}

void CloseLog(void) {
  if (Logf_fp == nullptr) return;
  WriteBanner("EXE LOG closed %A %B %d, %Y, %I:%M:%S %p\n\n");
  fclose(Logf_fp);
  Logf_fp = nullptr;
}

void Logf_flush(void) {
  if (Logf_fp != nullptr) fflush(Logf_fp);
}

int vLogf(const char* format, va_list args) {
  if (Logf_fp == nullptr) InitLog(0);
  if (Logf_fp == nullptr) return 0;
  int n = vfprintf(Logf_fp, format, args);
  Logf_flush();
  return n < 0 ? 0 : n;
}

int Logf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vLogf(format, args);
  va_end(args);
  return n;
}
