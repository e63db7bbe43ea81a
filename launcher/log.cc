// The launcher log: one text file in the user folder, every message flushed
// at once so that nothing is lost when the process ends without closing it.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"

static FILE* Logf_fp;

// What this launch wrote since InitLogKeeping, for LogStartAnew. Keeping
// stops (s_keeping 2) when the buffer is full; the file then keeps its older
// text too, which loses nothing.
static char s_kept[2048];
static size_t s_keptLength;
static int s_keeping;

static void Put(const char* text, size_t n) {
  fwrite(text, 1, n, Logf_fp);
  if (s_keeping != 1) return;
  if (n > sizeof s_kept - s_keptLength) {
    s_keeping = 2;
    return;
  }
  memcpy(s_kept + s_keptLength, text, n);
  s_keptLength += n;
}

static void WriteBanner(const char* format) {
  char text[256];
  time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr || strftime(text, sizeof text, format, &local) == 0) {
    return;
  }
  Put(text, strlen(text));
}

static FILE* OpenLogFile(const char* mode) {
  char name[256];
  if (!FormatWhole(name, sizeof name, "%s%s", g_UserPath, g_AppFilename)) return nullptr;
  size_t n = strlen(name);
  if (n > 4 && name[n - 4] == '.') name[n - 4] = '\0';  // Game.exe -> Game
  n = strlen(name);
  if (!FormatWhole(name + n, sizeof name - n, ".txt")) return nullptr;
  return fopen(name, mode);
}

void InitLog(int append) {
  if (Logf_fp != nullptr) return;
  Logf_fp = OpenLogFile(append ? "ac" : "wc");
  if (Logf_fp == nullptr) return;
  s_keeping = 0;
  if (append) fputs("\n\n\n\n", Logf_fp);
  WriteBanner("EXE LOG opened %A %B %d, %Y, %I:%M:%S %p\n\n");
}

void InitLogKeeping(void) {
  if (Logf_fp != nullptr) return;
  Logf_fp = OpenLogFile("ac");
  if (Logf_fp == nullptr) return;
  struct stat st;
  if (fstat(fileno(Logf_fp), &st) == 0 && st.st_size > 0) fputs("\n\n\n\n", Logf_fp);
  s_keeping = 1;
  s_keptLength = 0;
  WriteBanner("EXE LOG opened %A %B %d, %Y, %I:%M:%S %p\n\n");
  Logf_flush();
}

void LogStartAnew(void) {
  if (Logf_fp != nullptr && s_keeping == 1) {
    fflush(Logf_fp);
    // The file is open for appending, so what follows lands at its new end.
    if (ftruncate(fileno(Logf_fp), 0) == 0) {
      fwrite(s_kept, 1, s_keptLength, Logf_fp);
      fflush(Logf_fp);
    }
  }
  s_keeping = 0;
}

void CloseLog(void) {
  if (Logf_fp == nullptr) return;
  WriteBanner("EXE LOG closed %A %B %d, %Y, %I:%M:%S %p\n\n");
  fclose(Logf_fp);
  Logf_fp = nullptr;
  s_keeping = 0;
}

void Logf_flush(void) {
  if (Logf_fp != nullptr) fflush(Logf_fp);
}

int vLogf(const char* format, va_list args) {
  if (Logf_fp == nullptr) InitLog(0);
  if (Logf_fp == nullptr) return 0;
  int n;
  if (s_keeping == 1) {
    // Formatted once, straight into the kept text, then written from there.
    va_list again;
    va_copy(again, args);
    size_t room = sizeof s_kept - s_keptLength;
    n = vsnprintf(s_kept + s_keptLength, room, format, args);
    if (n >= 0 && (size_t)n < room) {
      fwrite(s_kept + s_keptLength, 1, (size_t)n, Logf_fp);
      s_keptLength += (size_t)n;
    } else {
      s_keeping = 2;
      n = vfprintf(Logf_fp, format, again);
    }
    va_end(again);
  } else {
    n = vfprintf(Logf_fp, format, args);
  }
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
