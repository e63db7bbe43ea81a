#include "tests/support/xserver.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace orvan_test {

XServer::XServer(const std::string& xvfb, const std::string& log) {
  // Start from a number that differs between test processes running at once.
  for (int n = 90 + getpid() % 700, tries = 0; tries < 20 && display_.empty(); ++n, ++tries) {
    std::string number = std::to_string(n);
    std::string socket = "/tmp/.X11-unix/X" + number;
    std::string lock = "/tmp/.X" + number + "-lock";
    if (FileExists(socket) || FileExists(lock)) continue;
    std::string name(":");
    name.append(number);
    pid_ = StartProcess({xvfb, name, "-nolisten", "tcp", "-noreset", "-screen", "0", "800x600x24"},
                        LaunchEnv("/nonexistent"), "", log);
    if (pid_ <= 0) return;
    bool gone = false;
    WaitFor(
        [&] {
          int status;
          gone = waitpid(pid_, &status, WNOHANG) == pid_;
          return gone || FileExists(socket);
        },
        15000);
    if (!gone && FileExists(socket)) {
      display_ = name;
    } else {
      if (!gone) Stop();
      pid_ = -1;  // another server took the display first: try the next
    }
  }
}

XServer::~XServer() { Stop(); }

void XServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  WaitProcess(pid_, 10000);  // kills it for good after that
  pid_ = -1;
}

}  // namespace orvan_test
