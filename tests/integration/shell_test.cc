// The desktop shell, run for real: quit signals sent to a running game, the
// desktop's launch argument, and a game started through a symbolic link or a
// PATH look-up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/game_test.h"

using namespace orvan_test;

extern char** environ;

namespace {

class ShellTest : public GameTest {
 protected:
  void SetUp() override { MakeGame(ORVAN_LAUNCHER, ORVAN_TEST_ENGINE); }

  std::vector<std::string> Env(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> all = {"TE_LOG=" + calls};
    all.insert(all.end(), extra.begin(), extra.end());
    return LaunchEnv(home, all);
  }

  pid_t Start(const std::vector<std::string>& env) const {
    return StartProcess({game.exe}, Env(env));
  }

  int CountCalls(const std::string& line) const {
    std::vector<std::string> all = Calls();
    return static_cast<int>(std::count(all.begin(), all.end(), line));
  }
  bool WaitForCalls(const std::string& line, int times) const {
    return WaitFor([&] { return CountCalls(line) >= times; });
  }

  // The log's non-empty lines, the closing banner as "<closed>".
  std::vector<std::string> LogTail(size_t n) const {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(Log())) {
      if (line.empty()) continue;
      lines.push_back(line.rfind("EXE LOG closed ", 0) == 0 ? "<closed>" : line);
    }
    if (lines.size() > n) lines.erase(lines.begin(), lines.end() - static_cast<long>(n));
    return lines;
  }

  // Instance records ("PSN") in either preferences database.
  int InstanceRecords() const {
    int records = 0;
    for (const std::string& db : {home + "/.config/orvan/preferences.db",
                                  home + "/shared-prefs/preferences.db"}) {
      if (!FileExists(db)) continue;
      sqlite3* handle = nullptr;
      if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(handle, "SELECT COUNT(*) FROM preferences WHERE key = 'PSN'", -1,
                               &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
          records += sqlite3_column_int(stmt, 0);
        }
        sqlite3_finalize(stmt);
      }
      sqlite3_close(handle);
    }
    return records;
  }
};

const std::vector<std::string> kNormalEnd = {
    "[main] Closing", "[main] SDL_Quit", "[main] Unloading Orvan", "[main] Exiting", "<closed>",
};

class QuitSignalTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(QuitSignalTest, EndsTheGameThroughOneQuitEventAndANormalCycleEnd) {
  int sig = GetParam();
  pid_t pid = Start({"TE_RUN=poll"});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitForCalls("vokRun", 1)) << ReadFile(calls);
  EXPECT_EQ(InstanceRecords(), 1) << "the running game holds the instance record";

  ASSERT_EQ(kill(pid, sig), 0);
  ProcessResult r = WaitProcess(pid, 30000);
  ASSERT_TRUE(r.exited) << "signal " << r.signal << (r.timed_out ? ", timed out" : "");
  EXPECT_EQ(r.exit_code, 0);

  std::vector<std::string> got = Calls();
  ASSERT_GE(got.size(), 3u);
  std::vector<std::string> tail(got.end() - 3, got.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"vokRun", "quit-event", "vokClose -> 0"}));
  EXPECT_EQ(LogTail(kNormalEnd.size()), kNormalEnd);
  EXPECT_EQ(InstanceRecords(), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

TEST_F(ShellTest, AQuitStillLetsTheEngineRestartAndEachSignalEndsOneCycle) {
  pid_t pid = Start({"TE_RUN=poll", "TE_RESTARTS=1"});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitForCalls("vokRun", 1));
  ASSERT_EQ(kill(pid, SIGHUP), 0);
  ASSERT_TRUE(WaitForCalls("vokRun", 2)) << ReadFile(calls);
  EXPECT_EQ(CountCalls("quit-event"), 1);
  ASSERT_EQ(kill(pid, SIGTERM), 0);

  ProcessResult r = WaitProcess(pid, 30000);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(CountCalls("quit-event"), 2);
  EXPECT_EQ(CountCalls("vokClose -> 1"), 1);
  EXPECT_EQ(CountCalls("vokClose -> 0"), 1);
  EXPECT_NE(Log().find("[main] restart requested\n"), std::string::npos);
  EXPECT_EQ(LogTail(kNormalEnd.size()), kNormalEnd);
}

TEST_F(ShellTest, TheDesktopsLaunchArgumentLeavesOnlyTheProgramName) {
  ProcessResult r = RunProcess({game.exe, "-psn_0_12345", "-Uninstall"}, Env());
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  // The cycle ran the game: no uninstall took place.
  EXPECT_EQ(CountCalls("vokCreate argc=1"), 1) << ReadFile(calls);
  EXPECT_EQ(CountCalls("vokRun"), 1);
}

// Runs `path` with `argv` (argv[0] as a shell would set it) in `cwd`.
ProcessResult RunAs(const std::string& path, const std::vector<std::string>& argv,
                    const std::string& cwd, const std::vector<std::string>& env) {
  std::vector<char*> args, envp;
  std::vector<std::string> a = argv, e = env;
  for (std::string& s : a) args.push_back(s.data());
  args.push_back(nullptr);
  for (std::string& s : e) envp.push_back(s.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return ProcessResult();
  return WaitProcess(pid, 30000);
}

TEST_F(ShellTest, FindsTheBundleWhereverArgvZeroPoints) {
  std::string bin = tmp / "bin";
  MakeDirs(bin);
  ASSERT_EQ(symlink(game.exe.c_str(), (bin + "/game").c_str()), 0);
  char* real = realpath(game.exe.c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string exe = real;
  free(real);
  std::string resources = exe.substr(0, exe.rfind("/MacOS/")) + "/Resources";

  struct Case {
    const char* how;
    std::string path;  // what is executed
    std::string argv0;
    std::string cwd;
  };
  const Case cases[] = {
      {"symbolic link in another folder", bin + "/game", bin + "/game", tmp.path()},
      {"PATH look-up of the link", bin + "/game", "game", tmp.path()},
      {"relative from the program's folder", game.exe, "./Game", game.app + "/Contents/MacOS"},
      {"empty argv[0]", game.exe, "", tmp.path()},
  };
  for (const Case& c : cases) {
    RemoveTree(calls);
    ProcessResult r = RunAs(c.path, {c.argv0, "level1"}, c.cwd, Env({"PATH=" + bin + ":/usr/bin:/bin"}));
    ASSERT_TRUE(r.exited) << c.how;
    EXPECT_EQ(r.exit_code, 0) << c.how;
    std::vector<std::string> got = Calls();
    ASSERT_GE(got.size(), 5u) << c.how << ": " << ReadFile(calls);
    EXPECT_EQ(got[1], "vokCreate argc=2") << c.how;
    EXPECT_EQ(got[2], "argv[0]=" + exe) << c.how;
    EXPECT_EQ(got[3], "argv[1]=level1") << c.how;
    EXPECT_EQ(got[4], "cwd=" + resources) << c.how;
  }
  EXPECT_NE(Log().find("[main] Path: " + resources + "\n"), std::string::npos) << Log();
}

}  // namespace
