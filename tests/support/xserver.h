// A private X server (Xvfb) for the tests that need a real display.
#ifndef ORVAN_TESTS_SUPPORT_XSERVER_H
#define ORVAN_TESTS_SUPPORT_XSERVER_H

#include <sys/types.h>

#include <string>

namespace orvan_test {

// Starts `xvfb` on a display number nobody uses (no lock file, no socket),
// writing its output to `log`; stopped when the object goes away.
// display() is empty when no server could be started.
class XServer {
 public:
  XServer(const std::string& xvfb, const std::string& log);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& display() const { return display_; }

 private:
  void Stop();
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace orvan_test

#endif
