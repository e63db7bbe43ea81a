// Launcher state shared between its own files but not exported to engines.
#ifndef ORVAN_LAUNCHER_INTERNAL_H
#define ORVAN_LAUNCHER_INTERNAL_H

#include <stddef.h>

#define ORVAN_HIDDEN __attribute__((visibility("hidden")))

// Scratch buffer returned by the folder queries and GetSystemPreference; a
// result pointing into it holds only until the next call of any of them.
extern char s_sTempPath[1024] ORVAN_HIDDEN;

// snprintf that refuses rather than cuts: 1 when the whole text fit in `size`
// bytes, else 0 with `out` emptied.
int FormatWhole(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4))) ORVAN_HIDDEN;

// The log of a first cycle, which may yet hand over to a running instance
// that writes the same file: InitLogKeeping opens it for appending, leaving
// what is there, and keeps this launch's own text; LogStartAnew, once the
// launch goes on to run the game, empties the file and writes that text back.
// LogStartAnew does nothing for a log opened any other way.
void InitLogKeeping(void) ORVAN_HIDDEN;
void LogStartAnew(void) ORVAN_HIDDEN;

#endif
