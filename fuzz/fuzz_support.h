// Shared by the fuzz targets: a scratch folder of their own and the checks
// that stop a run with a clear message.
#ifndef ORVAN_FUZZ_FUZZ_SUPPORT_H
#define ORVAN_FUZZ_FUZZ_SUPPORT_H

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace orvan_fuzz {

// A property the code under test must keep: a violation is a finding, so it
// stops the run the way a sanitizer report does.
#define FUZZ_CHECK(cond)                                                   \
  do {                                                                     \
    if (!(cond)) {                                                         \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      abort();                                                             \
    }                                                                      \
  } while (0)

// A fresh folder under $TMPDIR (scripts/fuzz.sh points that at a scratch
// folder it removes afterwards), removed again when the process exits
// normally. Aborts when none can be made: no target may run elsewhere.
inline const std::string& ScratchFolder() {
  // Never destroyed: the exit handler below still reads it.
  static const std::string* path = [] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvan-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      perror("mkdtemp");
      abort();
    }
    atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchFolder(), ec);
    });
    return new std::string(pattern);
  }();
  return *path;
}

}  // namespace orvan_fuzz

#endif
