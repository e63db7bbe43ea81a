// The launch cycle, run for real: the launcher executable in a temporary
// HOME, with the test engine, reading the log and the engine's call record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = tmp / "home";
    MakeDirs(home);
    calls = tmp / "calls.txt";
    game = MakeBundle(tmp.path(), "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
  }

  ProcessResult Launch(const std::vector<std::string>& args = {},
                       const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {game.exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> extra = {"TE_LOG=" + calls};
    extra.insert(extra.end(), env.begin(), env.end());
    return RunProcess(argv, LaunchEnv(home, extra));
  }

  std::string UserFolder() const { return home + "/Library/Application Support/Brambleford/Test Game"; }
  std::string Log() const { return ReadFile(UserFolder() + "/Game.txt"); }
  std::vector<std::string> Calls() const { return SplitLines(ReadFile(calls)); }

  TempDir tmp;
  std::string home;
  std::string calls;
  Bundle game;
};

// The log between its banners, banners replaced by markers.
std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(log)) {
    if (line.rfind("EXE LOG opened ", 0) == 0) {
      out.push_back("<opened>");
    } else if (line.rfind("EXE LOG closed ", 0) == 0) {
      out.push_back("<closed>");
    } else if (!line.empty()) {
      out.push_back(line);
    }
  }
  return out;
}

TEST_F(LaunchTest, OneCycleLogsEveryStepInOrder) {
  ProcessResult r = Launch({"-safemode", "level1"});
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::string> expected = {
      "<opened>",
      "[main] Orvan Initialized: Test Game",
      "[main] Path: " + game.resources,
      "[main] Command line:",
      "       " + game.exe,
      "       -safemode",
      "       level1",
      "[main] DllName: zizuzo.so",
      "[main] AppName: Test Game  (TestGame)",
      "[main] SdlMainInit",
      "[main] Creating GameTree",
      "[main] Running",
      "[main] Closing",
      "[main] SDL_Quit",
      "[main] Unloading Orvan",
      "[main] Exiting",
      "<closed>",
  };
  EXPECT_EQ(LogLines(Log()), expected);
  std::vector<std::string> got = Calls();
  std::vector<std::string> want = {"vokGetAppName",
                                   "vokCreate argc=3",
                                   "argv[0]=" + game.exe,
                                   "argv[1]=-safemode",
                                   "argv[2]=level1",
                                   "cwd=" + game.resources,
                                   "commandline=\"" + game.exe + "\" level1 ",
                                   got.size() > 7 ? got[7] : "pid=?",
                                   "vokRun",
                                   "vokClose -> 0"};
  EXPECT_EQ(got, want);
}

}  // namespace
