// SetPath: argv[0] as any text of up to 1 KiB. It derives the executable's
// name and the resources folder and changes the working folder there; each
// run starts in a scratch folder holding a small bundle and goes back to
// where the process was afterwards.
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "launcher/launcher.h"

namespace {

int s_home = -1;

bool SameFolder(const char* a, const char* b) {
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  s_home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  FUZZ_CHECK(s_home >= 0);
  std::string app = orvan_fuzz::ScratchFolder() + "/Game.app/Contents";
  mkdir((orvan_fuzz::ScratchFolder() + "/Game.app").c_str(), 0755);
  mkdir(app.c_str(), 0755);
  mkdir((app + "/MacOS").c_str(), 0755);
  mkdir((app + "/Resources").c_str(), 0755);
  int fd = open((app + "/MacOS/Game").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
  if (fd >= 0) close(fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) return -1;
  std::string arg(reinterpret_cast<const char*>(data), size);
  arg.resize(strlen(arg.c_str()));
  char* argv0 = new char[arg.size() + 1];
  memcpy(argv0, arg.c_str(), arg.size() + 1);

  // Unterminated leftovers: every result must be terminated by SetPath itself.
  memset(g_AppExePath, 'Z', sizeof g_AppExePath);
  memset(g_AppFilename, 'Z', sizeof g_AppFilename);
  memset(g_AppPath, 'Z', sizeof g_AppPath);

  // What the three globals must hold: the whole argument or nothing.
  std::string exe, name, resources;
  if (arg.size() < sizeof g_AppExePath) {
    exe = arg;
    size_t last = arg.rfind('/');
    name = last == std::string::npos ? arg : arg.substr(last + 1);
    size_t keep = 0;
    if (last != std::string::npos && last > 0) {
      size_t before = arg.rfind('/', last - 1);
      if (before != std::string::npos) keep = before + 1;
    }
    resources = arg.substr(0, keep) + "Resources";
    if (resources.size() >= sizeof g_AppPath) resources.clear();
  }

  const char* scratch = orvan_fuzz::ScratchFolder().c_str();
  FUZZ_CHECK(chdir(scratch) == 0);
  struct stat target;
  bool reachable = !resources.empty() && stat(resources.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  SetPath(argv0);
  struct stat now;
  FUZZ_CHECK(stat(".", &now) == 0);

  FUZZ_CHECK(exe == g_AppExePath);
  FUZZ_CHECK(name == g_AppFilename);
  FUZZ_CHECK(resources == g_AppPath);
  // The working folder is the resources folder when that exists, else it
  // stayed where it was.
  if (reachable) {
    FUZZ_CHECK(now.st_dev == target.st_dev && now.st_ino == target.st_ino);
  } else {
    FUZZ_CHECK(SameFolder(".", scratch));
  }

  FUZZ_CHECK(fchdir(s_home) == 0);
  delete[] argv0;
  return 0;
}
