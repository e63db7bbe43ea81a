// Path helpers for engine modules: the file-name part and the extension of a
// path, and the working directory. Exported from the launcher executable.
#ifndef ORVAN_UTIL_FILENAME_H
#define ORVAN_UTIL_FILENAME_H

// The part of `path` behind its last ':', '/' or '\\'; `path` itself when it
// has none, and "" (its end) when it ends in one. A pointer into `path`:
// nothing is copied.
const char* GetFileName(const char* path);

// The part of `path` behind its last '.', without the dot; "" (the end of
// `path`) when there is no dot, or when a '\\' follows the last one. Unlike
// GetFileName, '/' and ':' do not end the search: "dir.d/file" gives "d/file".
// A pointer into `path`.
const char* GetFileExt(const char* path);

// Writes the absolute path of the working directory into `buffer` (`size`
// bytes), zero-terminated, without a trailing '/' (the root is "/"). 1 on
// success; 0 when it does not fit or cannot be read, with `buffer` emptied.
int fsGetCurrentDir(char* buffer, int size);

#endif
