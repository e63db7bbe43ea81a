// Many launches of the real launcher: two hundred in a row of a game that
// restarts, and rounds of thirty-two started at once. Afterwards the log must
// read exactly as it should, no instance record or write probe may be left,
// no process may be left behind, and no two games may ever have run at the
// same time.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/integration/reliability_support.h"
#include "tests/support/game_test.h"

using namespace orvan_test;

namespace {

long long NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// One line of a call record written with TE_TIMES=1.
struct Call {
  long long ns;
  pid_t pid;
  std::string text;
};

std::vector<Call> TimedCalls(const std::string& record) {
  std::vector<Call> calls;
  for (const std::string& line : SplitLines(record)) {
    size_t dot = line.find('.');
    size_t space = line.find(' ');
    size_t second = line.find(' ', space + 1);
    if (dot == std::string::npos || space == std::string::npos || second == std::string::npos || dot > space) {
      calls.push_back({-1, 0, line});  // not of the form: fails every count
      continue;
    }
    Call call;
    call.ns = std::stoll(line.substr(0, dot)) * 1000000000LL + std::stoll(line.substr(dot + 1, space - dot - 1));
    call.pid = static_cast<pid_t>(std::stol(line.substr(space + 1, second - space - 1)));
    call.text = line.substr(second + 1);
    calls.push_back(call);
  }
  return calls;
}

// A game: from the engine's create to its close, in one process.
struct Game {
  long long from;
  long long to;
  pid_t pid;
};

std::vector<Game> Games(const std::vector<Call>& calls) {
  std::vector<Game> games;
  std::map<pid_t, long long> open;
  for (const Call& call : calls) {
    if (call.text.rfind("vokCreate ", 0) == 0) open[call.pid] = call.ns;
    if (call.text.rfind("vokClose ", 0) == 0 && open.count(call.pid)) {
      games.push_back({open[call.pid], call.ns, call.pid});
      open.erase(call.pid);
    }
  }
  return games;
}

// The most games running at one moment; a close and a create at the very
// same nanosecond count as running together.
int MostAtOnce(const std::vector<Game>& games) {
  std::vector<std::pair<long long, int>> events;
  for (const Game& g : games) {
    events.push_back({g.from, +1});
    events.push_back({g.to, -1});
  }
  std::sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  });
  int running = 0;
  int most = 0;
  for (const auto& e : events) {
    running += e.second;
    most = std::max(most, running);
  }
  return most;
}

class LoadTest : public GameTest {
 protected:
  void SetUp() override {
    MakeGame(ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
    // Anything a launch leaves running or unreaped becomes this process's
    // child, where the checks at the end find it.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  }
  void TearDown() override { prctl(PR_SET_CHILD_SUBREAPER, 0); }

  std::vector<std::string> Env(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {"TE_LOG=" + calls, "TE_TIMES=1"};
    env.insert(env.end(), extra.begin(), extra.end());
    return LaunchEnv(home, env);
  }
  std::string Db(int allUsers) const {
    return allUsers ? home + "/shared-prefs/preferences.db" : home + "/.config/orvan/preferences.db";
  }
  // Instance records and write probes left anywhere.
  int Leftovers() const {
    int n = 0;
    for (int scope = 0; scope < 2; ++scope) {
      for (const std::string& row : DatabaseRows(Db(scope))) n += row != "(no database)";
    }
    n += FileExists(UserFolder() + "/__BRF_WRITE_TEST__.txt");
    n += FileExists(home + "/Documents/Brambleford/Test Game/__BRF_WRITE_TEST__.txt");
    return n;
  }
  // Nothing a launch started is left: no child, no zombie.
  void ExpectNoProcessLeft() {
    EXPECT_EQ(ZombieChildren(), std::vector<pid_t>{});
    EXPECT_TRUE(NoChildLeft());
  }

  StartedProcesses started;
};

TEST_F(LoadTest, TwoHundredLaunchesInARowOfAGameThatRestartsThreeTimes) {
  const int kLaunches = 200;
  const int kCycles = 4;
  const std::string expected = Join(GameLogPieces(game.exe, game.resources, {}, kCycles));
  long long began = NowMs();
  int exact = 0;
  int leftovers = 0;
  std::string firstWrong;
  for (int i = 0; i < kLaunches; ++i) {
    ProcessResult r = RunProcess({game.exe}, Env({"TE_RESTARTS=" + std::to_string(kCycles - 1)}));
    ASSERT_TRUE(r.exited) << "launch " << i << ": signal " << r.signal << "\n" << r.err;
    ASSERT_EQ(r.exit_code, 0) << "launch " << i;
    std::string log = MaskBanners(Log());
    if (log == expected) {
      ++exact;
    } else if (firstWrong.empty()) {
      firstWrong = "launch " + std::to_string(i) + ":\n" + log;
    }
    leftovers += Leftovers();
  }
  long long took = NowMs() - began;
  EXPECT_EQ(exact, kLaunches) << "first log that differs, " << firstWrong;
  EXPECT_EQ(leftovers, 0);

  std::vector<Call> record = TimedCalls(ReadFile(calls));
  std::vector<Game> games = Games(record);
  std::map<pid_t, int> perLaunch;
  for (const Game& g : games) ++perLaunch[g.pid];
  EXPECT_EQ(games.size(), static_cast<size_t>(kLaunches * kCycles));
  EXPECT_EQ(perLaunch.size(), static_cast<size_t>(kLaunches));
  for (const auto& [pid, n] : perLaunch) EXPECT_EQ(n, kCycles) << "pid " << pid;
  const int most = MostAtOnce(games);
  EXPECT_EQ(most, 1);
  ExpectNoProcessLeft();

  ReliabilityNote({"load", "200 launches in a row, the game restarting 3 times in each",
                   std::to_string(kLaunches) + " launches, " + std::to_string(games.size()) + " game cycles, " +
                       std::to_string(took / 1000) + "." + std::to_string(took % 1000 / 100) + " s",
                   std::to_string(exact) + " of " + std::to_string(kLaunches) + " logs exactly as expected",
                   std::to_string(leftovers) + " records or probe files left; " +
                       std::to_string(ZombieChildren().size()) + " zombies; at most " + std::to_string(most) +
                       " game running at once",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

TEST_F(LoadTest, ThirtyTwoLaunchesAtOnceRunOneGameAtATime) {
  const int kRounds = 3;
  const int kLaunches = 32;
  const std::vector<std::string> gameLog = GameLogPieces(game.exe, game.resources, {}, 1);
  long long began = NowMs();
  int totalGames = 0;
  int exactLogs = 0;
  int leftovers = 0;
  std::string rounds;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round + 1));
    std::set<pid_t> launches;
    for (int i = 0; i < kLaunches; ++i) {
      pid_t pid = StartProcess({game.exe}, Env({"TE_RUN=sleep:200"}));
      ASSERT_GT(pid, 0);
      started.Add(pid);
      launches.insert(pid);
    }
    for (pid_t pid : launches) {
      started.Forget(pid);
      ProcessResult r = WaitProcess(pid, 120000);
      EXPECT_TRUE(r.exited) << "pid " << pid << ": signal " << r.signal;
      EXPECT_EQ(r.exit_code, 0) << "pid " << pid;
    }

    // Each launch either ran the game once or handed over at once.
    std::map<pid_t, std::vector<std::string>> byLaunch;
    for (const Call& call : TimedCalls(ReadFile(calls))) {
      if (launches.count(call.pid)) byLaunch[call.pid].push_back(call.text.substr(0, call.text.find(' ')));
    }
    int games = 0;
    for (pid_t pid : launches) {
      const std::vector<std::string>& got = byLaunch[pid];
      const std::vector<std::string> handOff = {"vokGetAppName"};
      const std::vector<std::string> ranGame = {"vokGetAppName", "vokCreate", "argv[0]=" + game.exe,
                                                "cwd=" + game.resources, got.size() > 4 ? got[4] : "",
                                                got.size() > 5 ? got[5] : "", "vokRun", "vokClose"};
      games += got.size() > 1;
      EXPECT_TRUE(got == handOff || got == ranGame) << "pid " << pid << " made " << got.size() << " calls";
    }
    EXPECT_GE(games, 1);
    totalGames += games;

    int notes = 0;
    std::string why;
    bool exact = IsGameLogWithHandOffs(MaskBanners(Log()), gameLog, &notes, &why);
    EXPECT_TRUE(exact) << why;
    EXPECT_LE(notes, 2 * (kLaunches - games)) << "more hand-off lines than launches that handed over";
    exactLogs += exact;
    leftovers += Leftovers();
    rounds += (rounds.empty() ? "" : ", ") + std::to_string(games) + "/" + std::to_string(kLaunches - games);
  }
  long long took = NowMs() - began;
  EXPECT_EQ(leftovers, 0);

  std::vector<Game> games = Games(TimedCalls(ReadFile(calls)));
  EXPECT_EQ(games.size(), static_cast<size_t>(totalGames));
  const int most = MostAtOnce(games);
  EXPECT_EQ(most, 1) << "two games ran at the same time";
  ExpectNoProcessLeft();

  ReliabilityNote({"load", "32 launches started at once, 3 rounds, the game running 200 ms",
                   std::to_string(kRounds * kLaunches) + " launches; games/hand-overs per round: " + rounds + "; " +
                       std::to_string(took / 1000) + "." + std::to_string(took % 1000 / 100) + " s",
                   std::to_string(exactLogs) + " of " + std::to_string(kRounds) +
                       " logs exactly the last game's text plus the hand-overs' own lines",
                   std::to_string(leftovers) + " records or probe files left; " +
                       std::to_string(ZombieChildren().size()) + " zombies; at most " + std::to_string(most) +
                       " game running at once",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

}  // namespace
