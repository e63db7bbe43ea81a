// The instance guard and the relay, run for real: launcher executables in a
// temporary HOME with the test engine, the instance record read straight from
// the preferences databases.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <stdint.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/game_test.h"

using namespace orvan_test;

namespace {

const char kDomain[] = "com.brambleford.Test Game";

// A process's identity as the record holds it: the process id and the low 32
// bits of its start time, each in host order, as 16 hex digits.
std::string IdentityHex(pid_t pid, uint32_t start_offset = 0) {
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t at = stat.rfind(')');
  if (at == std::string::npos) return "";
  std::vector<std::string> fields;  // fields 3 onward
  size_t pos = at + 2;
  while (pos < stat.size() && fields.size() < 20) {
    size_t end = stat.find(' ', pos);
    fields.push_back(stat.substr(pos, end - pos));
    pos = end == std::string::npos ? stat.size() : end + 1;
  }
  if (fields.size() < 20) return "";
  uint32_t words[2] = {static_cast<uint32_t>(pid),
                       static_cast<uint32_t>(std::stoull(fields[19])) + start_offset};
  unsigned char bytes[8];
  memcpy(bytes, words, 8);
  std::string hex;
  for (unsigned char b : bytes) {
    const char digits[] = "0123456789ABCDEF";
    hex.push_back(digits[b >> 4]);
    hex.push_back(digits[b & 15]);
  }
  return hex;
}

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
  return n;
}

class GuardLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = tmp / "home";
    MakeDirs(home);
    game = MakeBundle(tmp.path(), "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
  }

  std::vector<std::string> Argv(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {game.exe};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  // `name` keeps each launch's call record and probe report apart.
  std::vector<std::string> Env(const std::string& name, const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> env = {"TE_LOG=" + Calls(name), "PROBE_OUT=" + (tmp / (name + ".probe")),
                                    std::string("LD_PRELOAD=") + ORVAN_LAUNCHER_PROBE,
                                    "ASAN_OPTIONS=verify_asan_link_order=0"};
    env.insert(env.end(), extra.begin(), extra.end());
    return LaunchEnv(home, env);
  }
  ProcessResult Launch(const std::string& name, const std::vector<std::string>& args = {},
                       const std::vector<std::string>& extra = {}) {
    return RunProcess(Argv(args), Env(name, extra));
  }
  pid_t Start(const std::string& name, const std::vector<std::string>& extra = {}) {
    return started.Add(StartProcess(Argv({}), Env(name, extra)));
  }
  ProcessResult Finish(pid_t pid) { return started.Finish(pid); }

  std::string Calls(const std::string& name) const { return tmp / (name + ".calls"); }
  std::vector<std::string> CallLines(const std::string& name) const { return SplitLines(ReadFile(Calls(name))); }
  std::string Probe(const std::string& name) const { return ReadFile(tmp / (name + ".probe")); }
  std::string Log() const {
    return ReadFile(home + "/Library/Application Support/Brambleford/Test Game/Game.txt");
  }
  bool Running(const std::string& name, int runs = 1) const {
    return Count(CallLines(name), "vokRun") >= runs;
  }

  std::string Db(int allUsers) const {
    return allUsers ? home + "/shared-prefs/preferences.db" : home + "/.config/orvan/preferences.db";
  }
  // The record's text in a scope, "(none)" when there is none.
  std::string Record(int allUsers) const {
    std::string value = "(none)";
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Db(allUsers).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT value FROM preferences WHERE domain = ?1 AND key = 'PSN'", -1, &stmt,
                             nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, kDomain, -1, SQLITE_STATIC);
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
          value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
  }
  // Writes a record for this machine as another launcher would.
  void WriteRecord(int allUsers, const std::string& value) {
    MakeDirs(allUsers ? home + "/shared-prefs" : home + "/.config/orvan");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Db(allUsers).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE IF NOT EXISTS preferences (host TEXT NOT NULL, domain TEXT NOT NULL, "
                           "key TEXT NOT NULL, value, PRIMARY KEY (host, domain, key))",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO preferences VALUES (?1, ?2, 'PSN', ?3)", -1, &stmt,
                                 nullptr),
              SQLITE_OK);
    std::string host = ThisHost();
    sqlite3_bind_text(stmt, 1, host.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, kDomain, -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt, 3, value.c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }

  TempDir tmp;
  std::string home;
  Bundle game;
  StartedProcesses started;  // last: killed before the folders go
};

TEST_F(GuardLaunchTest, FirstLaunchRecordsItselfWhileItRunsAndRemovesTheRecord) {
  const std::string done = tmp / "done";
  pid_t first = Start("first", {"TE_RUN=wait:" + done});
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitFor([&] { return Running("first"); }));
  EXPECT_EQ(Record(1), IdentityHex(first));
  EXPECT_EQ(Record(0), "(none)");

  WriteFile(done, "");
  ProcessResult r = Finish(first);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Record(1), "(none)");
  EXPECT_EQ(Record(0), "(none)");
  EXPECT_NE(Probe("first").find("havelock=1\n"), std::string::npos);
}

TEST_F(GuardLaunchTest, SecondLaunchHandsOverAndLeavesTheRunningInstanceAndItsLogAlone) {
  const std::string done = tmp / "done";
  pid_t first = Start("first", {"TE_RUN=wait:" + done});
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitFor([&] { return Running("first"); }));
  const std::string record = Record(1);

  ProcessResult second = Launch("second", {"-Uninstall", "level 2", "-safemode"});
  ASSERT_TRUE(second.exited) << second.err;
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_EQ(CallLines("second"), std::vector<std::string>{"vokGetAppName"});
  EXPECT_EQ(Probe("second"),
            "commandline=CommandLine|" + game.exe + "|-Uninstall|level 2|-safemode|\ndelayed=\nhavelock=0\n");
  EXPECT_EQ(Record(1), record);
  EXPECT_TRUE(FileExists(game.resources + "/zizuzo.so"));

  WriteFile(done, "");
  ProcessResult r = Finish(first);
  ASSERT_TRUE(r.exited);
  // Every line of the running instance, in order; the second launch's own
  // lines came while the game ran.
  std::vector<std::string> expected = {
      "<opened>",
      "[main] Orvan Initialized: Test Game",
      "[main] Path: " + game.resources,
      "[main] Command line:",
      "       " + game.exe,
      "[main] DllName: zizuzo.so",
      "[main] AppName: Test Game  (TestGame)",
      "[main] SdlMainInit",
      "[main] Creating GameTree",
      "[main] Running",
      "<opened>",
      "[main] Orvan Initialized: Test Game",
      "[main] Closing",
      "[main] SDL_Quit",
      "[main] Unloading Orvan",
      "[main] Exiting",
      "<closed>",
  };
  EXPECT_EQ(LogLines(Log()), expected);
  EXPECT_EQ(Record(1), "(none)");
}

TEST_F(GuardLaunchTest, LaunchAfterTheInstanceWasKilledTakesTheRecordOver) {
  pid_t first = Start("first", {"TE_RUN=poll"});
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitFor([&] { return Running("first"); }));
  const std::string killed = IdentityHex(first);
  ASSERT_EQ(Record(1), killed);
  kill(first, SIGKILL);
  Finish(first);
  EXPECT_EQ(Record(1), killed);  // left behind

  const std::string done = tmp / "done";
  pid_t next = Start("next", {"TE_RUN=wait:" + done});
  ASSERT_GT(next, 0);
  ASSERT_TRUE(WaitFor([&] { return Running("next"); }));
  EXPECT_EQ(Record(1), IdentityHex(next));
  WriteFile(done, "");
  ProcessResult r = Finish(next);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(Record(1), "(none)");
}

// Records found at start: which of them stand for a running instance.
TEST_F(GuardLaunchTest, OnlyARecordOfALiveProcessMakesALaunchHandOver) {
  pid_t zombie = fork();
  ASSERT_GE(zombie, 0);
  if (zombie == 0) _exit(0);
  siginfo_t info;
  ASSERT_EQ(waitid(P_PID, zombie, &info, WEXITED | WNOWAIT), 0);
  const std::string self = IdentityHex(getpid());
  const std::string zombie_id = IdentityHex(zombie);
  ASSERT_EQ(self.size(), 16u);
  ASSERT_EQ(zombie_id.size(), 16u);

  struct Case {
    const char* what;
    std::string all_users;     // empty: no record
    std::string current_user;  // empty: no record
    bool hands_over;
  };
  const Case cases[] = {
      {"a live process", self, "", true},
      {"a live process, current user only", "", self, true},
      {"a stale record for all users above a live one", IdentityHex(getpid(), 1), self, true},
      {"a reused process id", IdentityHex(getpid(), 1), "", false},
      {"a zombie", zombie_id, "", false},
      {"15 characters", self.substr(0, 15), "", false},
      {"17 characters", self + "0", "", false},
      {"16 characters, not hex", "0123456789ABCDEZ", "", false},
      {"1023 characters", std::string(1023, '1'), "", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "launch" + std::to_string(n++);
    if (!c.all_users.empty()) WriteRecord(1, c.all_users);
    if (!c.current_user.empty()) WriteRecord(0, c.current_user);
    ProcessResult r = Launch(name);
    ASSERT_TRUE(r.exited) << c.what << ": " << r.err;
    std::vector<std::string> calls = CallLines(name);
    EXPECT_EQ(Count(calls, "vokCreate"), c.hands_over ? 0 : 1) << c.what;
    if (c.hands_over) {
      EXPECT_EQ(Record(1), c.all_users.empty() ? "(none)" : c.all_users) << c.what;
      EXPECT_EQ(Record(0), c.current_user.empty() ? "(none)" : c.current_user) << c.what;
    } else {
      EXPECT_EQ(Record(1), "(none)") << c.what << ": the record is removed at the end";
    }
    RemoveTree(home + "/shared-prefs");
    RemoveTree(home + "/.config");
  }
  waitpid(zombie, nullptr, 0);
}

// A restart removes the record at the end of the cycle and takes it anew:
// a record that names another live process by then is gone in the next cycle.
TEST_F(GuardLaunchTest, RestartRemovesAndRetakesTheRecord) {
  pid_t launch = Start("restart", {"TE_RUN=poll", "TE_RESTARTS=1"});
  ASSERT_GT(launch, 0);
  ASSERT_TRUE(WaitFor([&] { return Running("restart"); }));
  const std::string own = Record(1);
  EXPECT_EQ(own, IdentityHex(launch));
  WriteRecord(1, IdentityHex(getpid()));  // as if this test process ran the game

  kill(launch, SIGTERM);  // the quit event ends the first cycle
  ASSERT_TRUE(WaitFor([&] { return Running("restart", 2); }));
  EXPECT_EQ(Record(1), own);
  kill(launch, SIGTERM);
  ProcessResult r = Finish(launch);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(Count(CallLines("restart"), "vokCreate"), 2);
  EXPECT_EQ(Record(1), "(none)");
  EXPECT_NE(Probe("restart").find("havelock=1\n"), std::string::npos);
}

TEST_F(GuardLaunchTest, OfSixteenLaunchesStartedTogetherExactlyOneRunsTheGame) {
  const std::string done = tmp / "done";
  for (int i = 0; i < 16; ++i) ASSERT_GT(Start("race", {"TE_RUN=wait:" + done}), 0);
  // Fifteen hand over and end; the one left runs the game. Wait until every
  // launch still alive is in the game.
  std::vector<pid_t>& left = started.pids();
  ASSERT_TRUE(WaitFor(
      [&] {
        for (auto it = left.begin(); it != left.end();) {
          it = waitpid(*it, nullptr, WNOHANG) == *it ? left.erase(it) : it + 1;
        }
        return static_cast<int>(left.size()) == Count(CallLines("race"), "vokRun");
      },
      60000));
  ASSERT_EQ(left.size(), 1u);
  std::vector<std::string> calls = CallLines("race");
  EXPECT_EQ(Count(calls, "vokGetAppName"), 16);
  EXPECT_EQ(Count(calls, "vokCreate"), 1);
  EXPECT_EQ(Record(1), IdentityHex(left[0]));

  WriteFile(done, "");
  ProcessResult r = Finish(left[0]);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(Count(CallLines("race"), "vokCreate"), 1);
}

// Messages that arrive before the engine is bound: the last one is held and
// reaches the engine once, right after vokCreate, whatever it returned.
TEST_F(GuardLaunchTest, MessageHeldBeforeTheFirstBindingIsDeliveredOnceAfterCreate) {
  struct Case {
    std::vector<std::string> env;
    bool runs;
  };
  const Case cases[] = {
      {{}, true},
      {{"TE_CREATE=1"}, false},
      {{"TE_RESTARTS=1"}, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "held" + std::to_string(n++);
    std::vector<std::string> env = c.env;
    env.push_back("PROBE_IPC=OpenFile|/saves/first\nOpenFile|/saves/second");
    ProcessResult r = Launch(name, {}, env);
    ASSERT_TRUE(r.exited) << r.err;
    std::vector<std::string> calls = CallLines(name);
    EXPECT_EQ(Count(calls, "vokSendIPC"), 1) << name;
    EXPECT_EQ(Count(calls, "vokSendIPC OpenFile|/saves/second"), 1) << name;
    // Right after the first create (its record ends with the pid line).
    size_t at = 0;
    while (at < calls.size() && calls[at].rfind("pid=", 0) != 0) ++at;
    ASSERT_LT(at + 1, calls.size()) << name;
    EXPECT_EQ(calls[at + 1], "vokSendIPC OpenFile|/saves/second") << name;
    EXPECT_EQ(Count(calls, "vokRun") > 0, c.runs) << name;

    std::vector<std::string> log = LogLines(Log());
    size_t created = 0;
    while (created < log.size() && log[created] != "[main] Creating GameTree") ++created;
    ASSERT_LT(created + 2, log.size()) << name;
    EXPECT_EQ(log[created + 1], "[SendIPC] OpenFile|/saves/second") << name;
    EXPECT_EQ(log[created + 2], c.runs ? "[main] Running" : "[main] GameTree requests immediate exit") << name;
    EXPECT_NE(Probe(name).find("delayed=\n"), std::string::npos) << name;
  }
}

}  // namespace
