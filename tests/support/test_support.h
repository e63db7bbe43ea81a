// Helpers for the tests: temporary folders, game bundles and child processes.
#ifndef ORVAN_TESTS_SUPPORT_TEST_SUPPORT_H
#define ORVAN_TESTS_SUPPORT_TEST_SUPPORT_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace orvan_test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool CopyFile(const std::string& from, const std::string& to);  // keeps the mode bits
bool MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);

// A game bundle: <dir>/<name>.app/Contents/MacOS/<name> (a copy of the
// launcher) and Contents/Resources/zizuzo.so (a copy of `engine`, when given).
struct Bundle {
  std::string app;        // .../<name>.app
  std::string exe;        // .../Contents/MacOS/<name>
  std::string resources;  // .../Contents/Resources
};
Bundle MakeBundle(const std::string& dir, const std::string& name, const std::string& launcher,
                  const std::string& engine);

// The environment a launch runs in: this process's, less anything that would
// reach a real display, a real home or the real shared preferences, plus
// HOME, XDG_CONFIG_HOME and ORVAN_SHARED_PREFS_DIR under `home`, the dummy
// video driver and the non-blocking dialog backend. `extra` ("NAME=value")
// entries are added last and win.
std::vector<std::string> LaunchEnv(const std::string& home,
                                   const std::vector<std::string>& extra = {});

struct ProcessResult {
  bool exited = false;    // ended by exit(); false: by a signal or time-out
  int exit_code = -1;
  int signal = 0;
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Starts of the launcher (any copy of the built orvan-launcher named by a
// path) get the words of $ORVAN_TEST_WRAPPER in front when it is set, e.g. to
// run it under valgrind (scripts/memcheck.sh).
//
// Runs argv (argv[0] is the program's path, no shell) with `env`, feeding
// `input` on standard input, and waits for it, killing it after `timeout_ms`.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& input = "", int timeout_ms = 60000);

// Starts argv in the background; standard output and error go to the given
// files (empty: /dev/null), standard input is /dev/null. Returns the pid, or -1.
pid_t StartProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& out_path = "", const std::string& err_path = "");
// Waits for a process from StartProcess; kills it after `timeout_ms`.
ProcessResult WaitProcess(pid_t pid, int timeout_ms = 60000);

// An argument vector made of strings, as main() receives one (null-terminated).
struct Args {
  explicit Args(std::vector<std::string> items) : strings(std::move(items)) {
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(strings.size()); }
  char** argv() { return pointers.data(); }
  std::vector<std::string> strings;
  std::vector<char*> pointers;
};

// The machine the preferences are kept for: /etc/machine-id, else the host name.
std::string ThisHost();

// `name` found in an entry of $PATH (empty entries skipped), or "".
std::string FindProgram(const std::string& name);

// Processes a test started in the background. Any still running when the
// object goes away are killed and reaped, so nothing a failed test started
// outlives it.
class StartedProcesses {
 public:
  StartedProcesses() = default;
  ~StartedProcesses();
  StartedProcesses(const StartedProcesses&) = delete;
  StartedProcesses& operator=(const StartedProcesses&) = delete;

  pid_t Add(pid_t pid);      // keeps `pid` (when > 0) and returns it
  void Forget(pid_t pid);    // the test reaped it itself
  ProcessResult Finish(pid_t pid, int timeout_ms = 60000);  // Forget, then WaitProcess
  std::vector<pid_t>& pids() { return pids_; }

 private:
  std::vector<pid_t> pids_;
};

// Polls `ready` every few milliseconds; true once it holds, false after `timeout_ms`.
bool WaitFor(const std::function<bool()>& ready, int timeout_ms = 20000);

}  // namespace orvan_test

#endif
