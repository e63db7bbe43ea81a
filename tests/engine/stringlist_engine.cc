// Test engine module in C++ that uses the launcher's SStringList and path
// helpers: their code stays in the executable, and the module's references to
// them are resolved from its dynamic symbol table when the module is loaded.
//
//   TE_LOG    file the lines are appended to
//   TE_SPLIT  text that vokCreate splits
//   TE_DELIM  delimiter (first character; default ',')
//   TE_TRIM   nonzero: trim the items
//   TE_PATH   path given to GetFileName and GetFileExt
//
// Lines: "count=N", "item[i]=<text>" for each item as GetItem reads it,
// "start[i]=-1" for each item whose start is -1, "index[i]=<text>" for each
// item as operator[] (a virtual call) reads it, "find=<index of the last item>",
// "name=...", "ext=...", "cwd=...".
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "orvan_engine.h"
#include "util/filename.h"
#include "util/stringlist.h"

namespace {

__attribute__((format(printf, 1, 2))) void Record(const char* format, ...) {
  const char* path = getenv("TE_LOG");
  if (path == nullptr || path[0] == '\0') return;
  char line[8192];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (n < 0) return;
  if (n > static_cast<int>(sizeof line) - 2) n = static_cast<int>(sizeof line) - 2;
  line[n++] = '\n';
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  if (write(fd, line, static_cast<size_t>(n)) < 0) {
    // nothing more to do
  }
  close(fd);
}

const char* EnvText(const char* name, const char* fallback) {
  const char* v = getenv(name);
  return v != nullptr ? v : fallback;
}

}  // namespace

int vokGetAppName(char* shortName, char* longName, char* appId, int* build) {
  snprintf(shortName, 256, "%s", "ListGame");
  snprintf(longName, 256, "%s", "List Game");
  snprintf(appId, 256, "%s", "list-game");
  *build = 3;
  return 1;
}

int vokCreate(int, char**) {
  const char* delimiter = EnvText("TE_DELIM", ",");
  SStringList list(EnvText("TE_SPLIT", ""), delimiter[0] != '\0' ? delimiter[0] : ',',
                   atoi(EnvText("TE_TRIM", "0")), 0);
  Record("count=%d", list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    Record("item[%d]=%s", i, list.GetItem(i));
    if (list.ItemStart(i) == -1) Record("start[%d]=-1", i);
  }
  // A list on the heap, read through its virtual operator[] and released
  // through its virtual destructor.
  SStringList* heap = new SStringList();
  heap->Split(EnvText("TE_SPLIT", ""), delimiter[0] != '\0' ? delimiter[0] : ',',
              atoi(EnvText("TE_TRIM", "0")), 1);
  for (int i = 0; i < heap->Count(); ++i) Record("index[%d]=%s", i, (*heap)[i]);
  Record("find=%d", heap->FindItem(list.GetItem(list.Count() - 1)));
  delete heap;

  const char* path = EnvText("TE_PATH", "");
  Record("name=%s", GetFileName(path));
  Record("ext=%s", GetFileExt(path));
  char cwd[1024];
  Record("cwd=%s", fsGetCurrentDir(cwd, sizeof cwd) ? cwd : "(failed)");
  return 0;
}

int vokRun(void) {
  return 0;
}

int vokClose(void) {
  return 0;
}

int vokSendIPC(const char*) {
  return 1;
}
