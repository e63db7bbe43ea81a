// The uninstall-list reader: arbitrary bytes as "uninstall.log", read by
// SelfDestruct in a scratch folder.
//
// Nothing is ever removed. This file defines unlink() and rmdir() itself, so
// the launcher's fsRemoveFile and fsRemoveDirectory (and everything else
// linked into the target) reach these definitions instead of the C
// library's. While SelfDestruct runs they only check and count the path;
// at any other time (libFuzzer tidying its own corpus folder) they do the
// real thing through the system call.
//
// glob() is wrapped too, so that a pattern cannot send the search across the
// whole file system: a search that is absolute or has a part starting with
// '.' or '\' (the only ways to reach "..") matches nothing; any other runs on
// the small tree made below.
//
// The property checked: a File or Folder record removes its path only when
// the list holds that path whole, ended by a line feed or the end of the
// list; a path that was cut at the limit or held a zero byte removes
// nothing.
#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "launcher/launcher.h"

namespace {

int s_armed;                         // 1 while SelfDestruct runs
std::string s_list;                  // the list being read
std::set<std::string> s_globbed;     // what the last searches matched
int s_home = -1;                     // the working folder to go back to

// A path a File or Folder record may remove: in the list whole, ended by a
// line feed or the list's end.
bool NamedWhole(const char* path) {
  size_t n = strlen(path);
  if (n == 0 || n > 512) return false;
  for (size_t at = s_list.find(path); at != std::string::npos; at = s_list.find(path, at + 1)) {
    size_t end = at + n;
    if (end == s_list.size() || s_list[end] == '\n') return true;
  }
  return false;
}

// A glob part that could name "." or "..", or anything above the scratch tree.
bool LeavesTheTree(const char* pattern) {
  if (pattern[0] == '/') return true;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if ((p == pattern || p[-1] == '/') && (*p == '.' || *p == '\\')) return true;
  }
  return false;
}

// tree/ a.txt b.bak link -> sub, sub/ c.bak deeper/ d.txt
void MakeTree(const std::string& root) {
  std::string tree = root + "/tree";
  auto file = [&](const char* name) {
    int fd = open((tree + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) close(fd);
  };
  mkdir(tree.c_str(), 0755);
  mkdir((tree + "/sub").c_str(), 0755);
  mkdir((tree + "/sub/deeper").c_str(), 0755);
  file("a.txt");
  file("b.bak");
  file("sub/c.bak");
  file("sub/deeper/d.txt");
  FUZZ_CHECK(symlink("sub", (tree + "/link").c_str()) == 0);
}

}  // namespace

extern "C" int unlink(const char* path) noexcept {
  if (!s_armed) return (int)syscall(SYS_unlinkat, AT_FDCWD, path, 0);
  std::string p(path);
  FUZZ_CHECK(p == "uninstall.log" || s_globbed.count(p) != 0 || NamedWhole(path));
  return 0;
}

extern "C" int rmdir(const char* path) noexcept {
  if (!s_armed) return (int)syscall(SYS_unlinkat, AT_FDCWD, path, AT_REMOVEDIR);
  FUZZ_CHECK(NamedWhole(path));
  return 0;
}

extern "C" int glob(const char* pattern, int flags, int (*errfunc)(const char*, int),
                    glob_t* matches) noexcept {
  using GlobFunction = int (*)(const char*, int, int (*)(const char*, int), glob_t*);
  static GlobFunction real = (GlobFunction)dlsym(RTLD_NEXT, "glob");
  FUZZ_CHECK(real != nullptr);
  if (s_armed && LeavesTheTree(pattern)) {
    matches->gl_pathc = 0;
    matches->gl_pathv = nullptr;
    return GLOB_NOMATCH;
  }
  int result = real(pattern, flags, errfunc, matches);
  if (s_armed && result == 0) {
    for (size_t i = 0; i < matches->gl_pathc; ++i) {
      std::string match(matches->gl_pathv[i]);
      if (!match.empty() && match.back() == '/') match.pop_back();
      s_globbed.insert(match);
    }
  }
  return result;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  s_home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  FUZZ_CHECK(s_home >= 0);
  MakeTree(orvan_fuzz::ScratchFolder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return -1;
  const std::string& root = orvan_fuzz::ScratchFolder();
  FUZZ_CHECK(chdir(root.c_str()) == 0);

  s_list.assign(reinterpret_cast<const char*>(data), size);
  s_globbed.clear();
  int fd = open("uninstall.log", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(write(fd, data, size) == (ssize_t)size);
  close(fd);

  s_armed = 1;
  SelfDestruct();
  s_armed = 0;

  FUZZ_CHECK(fchdir(s_home) == 0);
  return 0;
}
