#include "tests/support/test_support.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace orvan_test {
namespace {

long long NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::vector<char*> CStrings(const std::vector<std::string>& items) {
  std::vector<char*> out;
  for (const std::string& s : items) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

bool HasPrefix(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The launcher as built: orvan-launcher beside the running test program.
std::string BuiltLauncher() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = '\0';
  std::string path(self);
  return path.substr(0, path.rfind('/') + 1) + "orvan-launcher";
}

// A copy of the launcher, wherever it was put and under whatever name
// (bundles, links to them): same bytes as the one built.
bool IsLauncher(const std::string& program) {
  static const std::string launcher = ReadFile(BuiltLauncher());
  if (launcher.empty() || program.find('/') == std::string::npos) return false;
  std::error_code ec;
  if (std::filesystem::file_size(program, ec) != launcher.size() || ec) return false;
  return ReadFile(program) == launcher;
}

// With ORVAN_TEST_WRAPPER set (for example "valgrind --error-exitcode=99
// ..."), its words go in front of every start of the launcher, so that a
// whole test suite can run the launcher under a checker. Other programs the
// tests start are left alone. The words are split at blanks; no quoting.
std::vector<std::string> Wrapped(const std::vector<std::string>& argv) {
  const char* wrapper = getenv("ORVAN_TEST_WRAPPER");
  if (wrapper == nullptr || *wrapper == '\0' || argv.empty() || !IsLauncher(argv[0])) return argv;
  std::vector<std::string> out;
  std::stringstream words(wrapper);
  for (std::string word; words >> word;) out.push_back(word);
  out.insert(out.end(), argv.begin(), argv.end());
  return out;
}

// posix_spawn, or posix_spawnp when a wrapper named by its bare name runs.
int Spawn(pid_t* pid, const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions,
          const std::vector<std::string>& env) {
  std::vector<std::string> run = Wrapped(argv);
  std::vector<char*> args = CStrings(run);
  std::vector<char*> envp = CStrings(env);
  if (run.size() != argv.size()) return posix_spawnp(pid, args[0], actions, nullptr, args.data(), envp.data());
  return posix_spawn(pid, args[0], actions, nullptr, args.data(), envp.data());
}

ProcessResult Reap(pid_t pid, int timeout_ms) {
  ProcessResult result;
  long long deadline = NowMs() + timeout_ms;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return result;
    if (NowMs() > deadline) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(2000);
  }
  if (WIFEXITED(status)) {
    result.exited = !result.timed_out;
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvan-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

bool MakeDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return !ec;
}

void RemoveTree(const std::string& path) {
  // Tests make folders read-only on purpose; give write access back first.
  std::error_code ec;
  std::filesystem::path root(path);
  if (std::filesystem::is_directory(std::filesystem::symlink_status(root, ec))) {
    for (auto it = std::filesystem::recursive_directory_iterator(
             root, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
    }
    chmod(path.c_str(), 0755);
  }
  std::filesystem::remove_all(root, ec);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream ss(text);
  std::string line;
  while (std::getline(ss, line)) lines.push_back(line);
  return lines;
}

Bundle MakeBundle(const std::string& dir, const std::string& name, const std::string& launcher,
                  const std::string& engine) {
  Bundle b;
  b.app = dir + "/" + name + ".app";
  b.exe = b.app + "/Contents/MacOS/" + name;
  b.resources = b.app + "/Contents/Resources";
  MakeDirs(b.app + "/Contents/MacOS");
  MakeDirs(b.resources);
  CopyFile(launcher, b.exe);
  if (!engine.empty()) CopyFile(engine, b.resources + "/zizuzo.so");
  return b;
}

std::vector<std::string> LaunchEnv(const std::string& home, const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string item(*e);
    if (HasPrefix(item, "HOME=") || HasPrefix(item, "XDG_") || HasPrefix(item, "ORVAN_") ||
        HasPrefix(item, "TE_") || HasPrefix(item, "SDL_") || HasPrefix(item, "DISPLAY=") ||
        HasPrefix(item, "WAYLAND_DISPLAY=")) {
      continue;
    }
    env.push_back(item);
  }
  env.push_back("HOME=" + home);
  env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
  env.push_back("ORVAN_SHARED_PREFS_DIR=" + home + "/shared-prefs");
  env.push_back("SDL_VIDEODRIVER=dummy");
  env.push_back("SDL_AUDIODRIVER=dummy");
  env.push_back("ORVAN_DIALOG=none");
  for (const std::string& item : extra) {
    std::string name = item.substr(0, item.find('=') + 1);
    for (auto it = env.begin(); it != env.end();) {
      it = HasPrefix(*it, name.c_str()) ? env.erase(it) : it + 1;
    }
    env.push_back(item);
  }
  return env;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& input, int timeout_ms) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    return ProcessResult();
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  pid_t pid = -1;
  int rc = Spawn(&pid, argv, &actions, env);
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    return ProcessResult();
  }

  // Feed the input and collect both outputs without blocking on either side.
  signal(SIGPIPE, SIG_IGN);
  size_t fed = 0;
  int in_fd = in_pipe[1];
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  std::string out, err;
  long long deadline = NowMs() + timeout_ms;
  int open_outputs = 2;
  while (open_outputs > 0 && NowMs() < deadline) {
    struct pollfd fds[3] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}, {in_fd, POLLOUT, 0}};
    if (fds[0].fd < 0) fds[0].events = 0;
    if (fds[1].fd < 0) fds[1].events = 0;
    int n = poll(fds, in_fd >= 0 ? 3 : 2, 50);
    if (n <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buf[4096];
        ssize_t got = read(fds[i].fd, buf, sizeof buf);
        if (got > 0) {
          (i == 0 ? out : err).append(buf, static_cast<size_t>(got));
        } else {
          close(fds[i].fd);
          (i == 0 ? out_pipe[0] : err_pipe[0]) = -1;
          --open_outputs;
        }
      }
    }
    if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t put = write(in_fd, input.data() + fed, input.size() - fed);
      if (put > 0) fed += static_cast<size_t>(put);
      if (put <= 0 || fed == input.size()) {
        close(in_fd);
        in_fd = -1;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  if (out_pipe[0] >= 0) close(out_pipe[0]);
  if (err_pipe[0] >= 0) close(err_pipe[0]);
  long long left = deadline - NowMs();
  ProcessResult result = Reap(pid, left > 0 ? static_cast<int>(left) : 0);
  result.out = out;
  result.err = err;
  return result;
}

pid_t StartProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& out_path, const std::string& err_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.empty() ? "/dev/null" : out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.empty() ? "/dev/null" : err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  int rc = Spawn(&pid, argv, &actions, env);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

ProcessResult WaitProcess(pid_t pid, int timeout_ms) { return Reap(pid, timeout_ms); }

std::string ThisHost() {
  std::string id = ReadFile("/etc/machine-id");
  id = id.substr(0, id.find_first_of(" \t\r\n"));
  if (!id.empty()) return id;
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

std::string FindProgram(const std::string& name) {
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

StartedProcesses::~StartedProcesses() {
  for (pid_t pid : pids_) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

pid_t StartedProcesses::Add(pid_t pid) {
  if (pid > 0) pids_.push_back(pid);
  return pid;
}

void StartedProcesses::Forget(pid_t pid) { std::erase(pids_, pid); }

ProcessResult StartedProcesses::Finish(pid_t pid, int timeout_ms) {
  Forget(pid);
  return WaitProcess(pid, timeout_ms);
}

bool WaitFor(const std::function<bool()>& ready, int timeout_ms) {
  long long deadline = NowMs() + timeout_ms;
  while (NowMs() < deadline) {
    if (ready()) return true;
    usleep(5000);
  }
  return ready();
}

}  // namespace orvan_test
