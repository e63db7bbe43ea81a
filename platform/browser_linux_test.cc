// The browser start, with a fake xdg-open first in PATH.
#include <gtest/gtest.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin = tmp / "bin";
    MakeDirs(bin);
    const char* path = getenv("PATH");
    savedPath = path ? path : "";
  }
  void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }

  // An opener that holds on until the test creates "release" (20 s at most),
  // then records its arguments, one per line.
  void FakeOpener() {
    std::string opener = bin + "/xdg-open";
    std::string dir = tmp.path();
    ASSERT_TRUE(WriteFile(opener,
                          "#!/bin/sh\n"
                          "n=0\n"
                          "while [ ! -e \"" + dir + "/release\" ] && [ $n -lt 400 ]; do\n"
                          "  sleep 0.05; n=$((n+1))\n"
                          "done\n"
                          "[ -e \"" + dir + "/release\" ] && state=released || state=timed-out\n"
                          "{ echo \"$state argc=$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                          " > \"" + dir + "/rec.tmp\" && mv \"" + dir + "/rec.tmp\" \"" + dir + "/rec\"\n"));
    chmod(opener.c_str(), 0755);
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
  }

  static bool NoChildren() {
    int status;
    return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
  }

  TempDir tmp;
  std::string bin, savedPath;
};

// The address is one argument however it looks; PlatformOpenUrl returns
// while the opener still runs, and leaves no child of ours behind.
TEST_F(BrowserTest, StartsXdgOpenDetachedWithTheAddressAsOneArgument) {
  FakeOpener();
  const std::string url = "https://example.com/a b;touch pwned&x='1' \"$(id)\" `id` |cat";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(tmp.path().c_str()), 0);  // where a shell would have made "pwned"
  int started = PlatformOpenUrl(url.c_str());
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(started, 1);
  EXPECT_TRUE(NoChildren());
  ASSERT_TRUE(WriteFile(tmp / "release", ""));
  ASSERT_TRUE(WaitFor([&] { return FileExists(tmp / "rec"); }, 30000));
  std::vector<std::string> expected = {"released argc=1", url};
  EXPECT_EQ(SplitLines(ReadFile(tmp / "rec")), expected);
  EXPECT_FALSE(FileExists(tmp / "pwned"));
}

TEST_F(BrowserTest, NothingHappensWithoutXdgOpen) {
  setenv("PATH", bin.c_str(), 1);
  EXPECT_EQ(PlatformOpenUrl("https://example.com/"), 0);
  EXPECT_TRUE(NoChildren());
}

}  // namespace
