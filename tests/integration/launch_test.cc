// The launch cycle, run for real: the launcher executable in a temporary
// HOME, with the test engine, reading the log and the engine's call record.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/game_test.h"

using namespace orvan_test;

namespace {

class LaunchTest : public GameTest {
 protected:
  void SetUp() override { MakeGame(ORVAN_LAUNCHER, ORVAN_TEST_ENGINE); }

  ProcessResult Launch(const std::vector<std::string>& args = {},
                       const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {game.exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> extra = {"TE_LOG=" + calls};
    extra.insert(extra.end(), env.begin(), env.end());
    return RunProcess(argv, LaunchEnv(home, extra));
  }

};

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

int Count(const std::vector<std::string>& lines, const std::string& line) {
  int n = 0;
  for (const std::string& l : lines) n += l == line;
  return n;
}

TEST_F(LaunchTest, RestartsRunTenCyclesAtMostAndAppendToOneLog) {
  ProcessResult r = Launch({}, {"TE_RESTARTS=100"});
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::string> calls = Calls();
  EXPECT_EQ(Count(calls, "vokCreate argc=1"), 10);
  EXPECT_EQ(Count(calls, "vokGetAppName"), 10);
  EXPECT_EQ(Count(calls, "vokClose -> 1"), 10);

  std::string log = Log();
  EXPECT_EQ(log.rfind("EXE LOG opened ", 0), 0u) << "the first cycle starts the log anew";
  std::vector<std::string> lines = LogLines(log);
  EXPECT_EQ(Count(lines, "<opened>"), 10);
  EXPECT_EQ(Count(lines, "<closed>"), 10);
  EXPECT_EQ(Count(lines, "[main] restart requested"), 10);
  EXPECT_EQ(Count(lines, "       " + game.exe), 20);  // command line and restart note
  // Every later cycle is set off by four line feeds before its banner.
  size_t appended = 0;
  for (size_t at = log.find("\n\n\n\nEXE LOG opened "); at != std::string::npos;
       at = log.find("\n\n\n\nEXE LOG opened ", at + 1)) {
    ++appended;
  }
  EXPECT_EQ(appended, 9u);
}

TEST_F(LaunchTest, ImmediateExitSkipsRunButStillClosesAndRestarts) {
  ProcessResult r = Launch({}, {"TE_CREATE=1", "TE_RESTARTS=1"});
  ASSERT_TRUE(r.exited) << r.err;
  std::vector<std::string> calls = Calls();
  EXPECT_EQ(Count(calls, "vokRun"), 0);
  EXPECT_EQ(Count(calls, "vokClose -> 1"), 1);
  EXPECT_EQ(Count(calls, "vokClose -> 0"), 1);
  std::vector<std::string> lines = LogLines(Log());
  EXPECT_EQ(Count(lines, "[main] GameTree requests immediate exit"), 2);
  EXPECT_EQ(Count(lines, "[main] Running"), 0);
  EXPECT_EQ(Count(lines, "[main] restart requested"), 1);
}

// Failures that stop a launch: each shows its alert, exits with 0 and never
// creates the game.
TEST_F(LaunchTest, StartUpFailuresShowTheirAlert) {
  struct FailureCase {
    const char* name;
    std::function<void()> prepare;
    std::vector<std::string> env;
    std::vector<std::string> alert_parts;
  };
  auto lib = [&] { return game.resources + "/zizuzo.so"; };
  const FailureCase cases[] = {
      {"no module", [&] { unlink(lib().c_str()); }, {},
       {"ERROR\n\nCan't load zizuzo.so!\nError: ", "zizuzo.so: cannot open shared object file"}},
      {"module that is text", [&] { WriteFile(lib(), std::string(200, '#') + " not a library\n"); }, {},
       {"ERROR\n\nCan't load zizuzo.so!\nError: ./zizuzo.so: ", "invalid ELF header"}},
      {"missing entry point", [&] { CopyFile(ORVAN_TEST_ENGINE_NO_SENDIPC, lib()); }, {},
       {"ERROR\n\n missing symbols in zizuzo.so!"}},
      {"media layer", [] {}, {"SDL_VIDEODRIVER=bogus"},
       {"SDL Init Failed\n\nbogus not available"}},
      {"no writable user folder", [&] { WriteFile(home + "/Library", ""), WriteFile(home + "/Documents", ""); }, {},
       {"FAILED to find a writeable folder for game data!"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir run;
    home = run / "home";
    MakeDirs(home);
    calls = run / "calls.txt";
    game = MakeBundle(run.path(), "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
    c.prepare();
    ProcessResult r = Launch({}, c.env);
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_EQ(r.exit_code, 0);
    for (const std::string& part : c.alert_parts) {
      EXPECT_NE(r.err.find(part), std::string::npos) << "stderr: " << r.err;
    }
    EXPECT_EQ(Count(Calls(), "vokRun"), 0);
    EXPECT_EQ(Count(Calls(), "vokClose -> 0"), 0);
  }
}

TEST_F(LaunchTest, MissingEntryPointIsLoggedBesideTheModule) {
  CopyFile(ORVAN_TEST_ENGINE_NO_SENDIPC, game.resources + "/zizuzo.so");
  ProcessResult r = Launch();
  ASSERT_TRUE(r.exited);
  std::string log = ReadFile(game.resources + "/Game.txt");
  EXPECT_NE(log.find("[InitOrvan] GetDllSymbol FAILED\n"), std::string::npos) << log;
}

TEST_F(LaunchTest, MediaLayerFailureEndsTheLogAfterItsLine) {
  ProcessResult r = Launch({}, {"SDL_VIDEODRIVER=bogus"});
  ASSERT_TRUE(r.exited);
  std::vector<std::string> lines = LogLines(Log());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "[main] SdlMainInit FAILED");
  EXPECT_EQ(Count(Calls(), "vokCreate argc=1"), 0);
}

TEST_F(LaunchTest, GameRunsWhenTheLogCannotBeWritten) {
  MakeDirs(UserFolder() + "/Game.txt");  // a folder where the log file should be
  ProcessResult r = Launch();
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Count(Calls(), "vokRun"), 1);
  EXPECT_EQ(Count(Calls(), "vokClose -> 0"), 1);
}

TEST_F(LaunchTest, LongArgumentsAreLeftOutWhole) {
  std::vector<std::string> args;
  for (int i = 0; i < 12; ++i) args.push_back(std::string(500, static_cast<char>('a' + i)));
  args.push_back(std::string(70000, 'z'));
  ProcessResult r = Launch(args);
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  std::string line;
  for (const std::string& l : Calls()) {
    if (l.rfind("commandline=", 0) == 0) line = l.substr(12);
  }
  std::string expected = "\"" + game.exe + "\" ";
  for (const std::string& a : args) {
    if (expected.size() + a.size() + 1 > 4095) break;
    expected += a + " ";
  }
  EXPECT_TRUE(line == expected) << "got " << line.size() << " characters, want " << expected.size();
  EXPECT_EQ(Count(Calls(), "vokRun"), 1);
}

TEST_F(LaunchTest, ExecutablePathTooLongForItsBufferIsAClearFailure) {
  std::string deep = tmp.path();
  while (deep.size() < 300) deep += "/nested-folder";
  MakeDirs(deep);
  game = MakeBundle(deep, "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
  ProcessResult r = Launch();
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("Can't load zizuzo.so!"), std::string::npos) << r.err;
}

}  // namespace
