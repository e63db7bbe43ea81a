// Faults of the machine around the real launcher: a disk that fills, a user
// folder that turns read-only, a preferences database that is locked, holds
// garbage or loses its writer mid-write, an engine that crashes. Whatever
// happens, the launcher must not crash, must run the game where it can and
// must leave every file it did not mean to change as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/integration/reliability_support.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

const char kProbe[] = "/__BRF_WRITE_TEST__.txt";

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
  return n;
}

long long NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Mounts of one test. They live in a mount namespace of this process's own,
// so that the rest of the machine never sees them and none outlives the
// process; each is also taken down when the test ends.
class Mounts {
 public:
  Mounts() = default;
  Mounts(const Mounts&) = delete;
  Mounts& operator=(const Mounts&) = delete;
  ~Mounts() {
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
  }

  // Empty when this process can make mounts, else why it cannot.
  static const std::string& Unavailable() {
    static const std::string reason = [] {
      if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + strerror(errno);
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("making / private: ") + strerror(errno);
      }
      return std::string();
    }();
    return reason;
  }

  bool Tmpfs(const std::string& target, const std::string& options) {
    if (mount("tmpfs", target.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) return false;
    targets_.push_back(target);
    return true;
  }

  // The folder, seen through a read-only mount of itself from now on. Files
  // already open keep writing through the mount they were opened on, as
  // they would after a change of permissions.
  bool ReadOnly(const std::string& folder) {
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    targets_.push_back(folder);
    return mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::vector<std::string> targets_;
};

// Lowers a resource limit of this process, and so of the launches it starts,
// while the object lives.
class ScopedLimit {
 public:
  ScopedLimit(decltype(RLIMIT_CORE) resource, rlim_t soft) : resource_(resource) {
    getrlimit(resource_, &saved_);
    struct rlimit lower = saved_;
    lower.rlim_cur = soft;
    setrlimit(resource_, &lower);
  }
  ~ScopedLimit() { setrlimit(resource_, &saved_); }

 private:
  decltype(RLIMIT_CORE) resource_;
  struct rlimit saved_;
};

// A file size limit whose writes fail with EFBIG instead of killing the
// writer with SIGXFSZ: the disk-full case for a machine without mounts.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) : limit_(RLIMIT_FSIZE, bytes) {
    saved_ = signal(SIGXFSZ, SIG_IGN);
  }
  ~ScopedFileSizeLimit() { signal(SIGXFSZ, saved_); }

 private:
  ScopedLimit limit_;
  sighandler_t saved_;
};

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(n);
  for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

std::string AsText(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A database the way another program of the vendor would leave it: the
// launcher's table with one row of its own.
void MakeDatabase(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/'));
  MakeDirs(folder);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE IF NOT EXISTS preferences (host TEXT NOT NULL, domain TEXT NOT NULL, "
                         "key TEXT NOT NULL, value, PRIMARY KEY (host, domain, key));"
                         "INSERT INTO preferences VALUES ('this machine', 'com.brambleford.Other', 'volume', '7')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

const std::vector<std::string> kOtherRow = {"com.brambleford.Other|volume=7"};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }

  // A new home, call record and game in a folder of their own (each case of
  // a table starts from nothing).
  void Fresh() {
    runs.push_back(std::make_unique<TempDir>());
    const TempDir& run = *runs.back();
    home = run / "home";
    MakeDirs(home);
    calls = run / "calls.txt";
    game = MakeBundle(run.path(), "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
  }

  std::vector<std::string> Env(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {"TE_LOG=" + calls};
    env.insert(env.end(), extra.begin(), extra.end());
    return LaunchEnv(home, env);
  }
  std::vector<std::string> Argv(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {game.exe};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  ProcessResult Launch(const std::vector<std::string>& args = {}, const std::vector<std::string>& extra = {},
                       int timeout_ms = 60000) {
    return RunProcess(Argv(args), Env(extra), "", timeout_ms);
  }
  pid_t Start(const std::vector<std::string>& extra) { return started.Add(StartProcess(Argv({}), Env(extra))); }
  ProcessResult Finish(pid_t pid) { return started.Finish(pid); }

  std::string UserFolder() const { return home + "/Library/Application Support/Brambleford/Test Game"; }
  std::string DocumentsFolder() const { return home + "/Documents/Brambleford/Test Game"; }
  std::string Log() const { return ReadFile(UserFolder() + "/Game.txt"); }
  std::vector<std::string> Calls() const { return SplitLines(ReadFile(calls)); }
  std::string Db(int allUsers) const {
    return allUsers ? home + "/shared-prefs/preferences.db" : home + "/.config/orvan/preferences.db";
  }
  bool ProbeLeft() const {
    return FileExists(UserFolder() + kProbe) || FileExists(DocumentsFolder() + kProbe);
  }
  // One whole launch of `cycles` cycles, as its log must read.
  std::vector<std::string> GameLog(int cycles, const std::vector<std::string>& args = {}) const {
    return GameLogPieces(game.exe, game.resources, args, cycles);
  }

  std::vector<std::unique_ptr<TempDir>> runs;
  Mounts mounts;  // after `runs`: taken down before the folders go
  std::string home;
  std::string calls;
  Bundle game;
  StartedProcesses started;  // last: killed before the folders go
};

// The log of a launch that ran out of room: the part of the full text that
// fits, cut anywhere, even inside a line or a banner.
void ExpectPrefixOf(const std::string& log, const std::string& maskedFull) {
  size_t complete = log.rfind('\n') + 1;  // 0 when there is no line feed
  std::string head = MaskBanners(log.substr(0, complete));
  ASSERT_EQ(maskedFull.compare(0, head.size(), head), 0) << "the log is not the start of its full text";
  std::string tail = log.substr(complete);
  std::string expectedLine = maskedFull.substr(head.size(), maskedFull.find('\n', head.size()) - head.size());
  if (expectedLine.rfind("EXE LOG ", 0) == 0) {
    size_t fixed = std::min(tail.size(), expectedLine.find('<'));
    EXPECT_EQ(tail.substr(0, fixed), expectedLine.substr(0, fixed)) << "a banner cut short";
  } else {
    EXPECT_EQ(expectedLine.compare(0, tail.size(), tail), 0) << "a line cut short: " << tail;
  }
}

TEST_F(FaultTest, DiskThatFillsWhileTheLogIsWrittenLosesOnlyTheLogsEnd) {
  const rlim_t kDisk = 16384;
  const int kCycles = 10;
  std::vector<std::string> args;  // long arguments make every cycle's log long
  for (int i = 0; i < 8; ++i) args.push_back("argument-" + std::to_string(i) + "-" + std::string(290, 'x'));

  struct Case {
    const char* name;
    bool tmpfs;
  };
  for (const Case& c : {Case{"disk full: a 16 KiB file system holds the user folder", true},
                        Case{"disk full: a 16 KiB file size limit", false}}) {
    SCOPED_TRACE(c.name);
    Fresh();
    const std::string full = Join(GameLog(kCycles, args));
    ASSERT_GT(full.size(), kDisk);
    // The call record goes to standard output, a pipe that no limit on
    // files reaches.
    const std::vector<std::string> env = {"TE_LOG=/dev/stdout", "TE_RESTARTS=" + std::to_string(kCycles - 1)};
    ProcessResult r;
    if (c.tmpfs) {
      if (!Mounts::Unavailable().empty()) {
        ReliabilityNote({"fault", c.name, "not run: no mounts here (" + Mounts::Unavailable() + ")", "", ""});
        continue;
      }
      ASSERT_TRUE(MakeDirs(UserFolder()));
      ASSERT_TRUE(mounts.Tmpfs(UserFolder(), "size=16k,nr_inodes=64,mode=0755")) << strerror(errno);
      r = Launch(args, env);
    } else {
      ScopedFileSizeLimit limit(kDisk);
      r = Launch(args, env);
    }
    ASSERT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.err;
    EXPECT_EQ(r.exit_code, 0);
    std::vector<std::string> engine = SplitLines(r.out);
    EXPECT_EQ(Count(engine, "vokRun"), kCycles);
    EXPECT_EQ(Count(engine, "vokClose -> "), kCycles);

    const std::string log = Log();
    EXPECT_EQ(log.size(), kDisk) << "the log fills the room it has";
    ExpectPrefixOf(log, full);
    EXPECT_EQ(DatabaseRows(Db(1)), std::vector<std::string>{}) << "the instance record was removed";
    EXPECT_FALSE(ProbeLeft());

    int whole = 0;
    std::string kept = MaskBanners(log);
    for (size_t at = kept.find("EXE LOG closed"); at != std::string::npos; at = kept.find("EXE LOG closed", at + 1)) {
      ++whole;
    }
    ReliabilityNote({"fault", c.name,
                     "ran all " + std::to_string(Count(engine, "vokRun")) + " cycles of the game, exit status " +
                         std::to_string(r.exit_code) + "; instance record written and removed",
                     "the log's end: " + std::to_string(log.size()) + " of " + std::to_string(full.size()) +
                         " bytes kept (" + std::to_string(whole) + " of " + std::to_string(kCycles) +
                         " cycles whole), cut where the room ended",
                     ::testing::Test::HasFailure() ? "FAILED" : "passed"});
  }
}

TEST_F(FaultTest, UserFolderMadeReadOnlyDuringARun) {
  if (!Mounts::Unavailable().empty()) GTEST_SKIP() << "no mounts here: " << Mounts::Unavailable();
  const std::string go = runs.front()->path() + "/go";
  pid_t launch = Start({"TE_RUN=wait:" + go, "TE_RESTARTS=1"});
  ASSERT_GT(launch, 0);
  ASSERT_TRUE(WaitFor([&] { return Count(Calls(), "vokRun") == 1; }));
  ASSERT_TRUE(mounts.ReadOnly(UserFolder())) << strerror(errno);
  ASSERT_FALSE(WriteFile(UserFolder() + "/root can write here", "")) << "the folder is not read-only";
  WriteFile(go, "");
  ProcessResult r = Finish(launch);
  ASSERT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Count(Calls(), "vokRun"), 2) << "the restart ran the game again";
  EXPECT_EQ(Count(Calls(), "vokClose -> "), 2);

  // The first cycle's log is whole: its file was open before the change. The
  // second cycle has nowhere to write.
  std::vector<std::string> both = GameLog(2);
  size_t firstCycle = 0;
  while (both[firstCycle].rfind("EXE LOG closed", 0) != 0) ++firstCycle;
  EXPECT_EQ(MaskBanners(Log()), Join(both, firstCycle + 1));
  EXPECT_EQ(DatabaseRows(Db(1)), std::vector<std::string>{});
  EXPECT_FALSE(ProbeLeft());

  // A launch while it stays read-only moves to the documents folder.
  ProcessResult next = Launch();
  ASSERT_TRUE(next.exited);
  EXPECT_EQ(next.exit_code, 0);
  EXPECT_EQ(Count(Calls(), "vokRun"), 3);
  EXPECT_EQ(MaskBanners(ReadFile(DocumentsFolder() + "/Game.txt")), Join(GameLog(1)));
  EXPECT_EQ(MaskBanners(Log()), Join(both, firstCycle + 1)) << "the old log is left as it was";
  EXPECT_FALSE(ProbeLeft());

  ReliabilityNote({"fault", "user folder made read-only while the game runs (then a restart, then a new launch)",
                   "ran the game in both cycles, exit status 0; the next launch chose the documents folder "
                   "for its log and ran the game",
                   "the second cycle's log lines (nowhere to write them); the first cycle's log is whole",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

// Holds an exclusive transaction on each database until `release` is
// closed; a byte on `ready` once all are held.
void HoldExclusive(const std::vector<std::string>& paths, int ready, int release) {
  std::vector<sqlite3*> dbs;
  for (const std::string& path : paths) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      _exit(1);
    }
    dbs.push_back(db);
  }
  if (write(ready, "x", 1) != 1) _exit(1);
  char byte;
  while (read(release, &byte, 1) > 0) {
  }
  for (sqlite3* db : dbs) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  _exit(0);
}

TEST_F(FaultTest, LockedPreferencesDatabaseNeitherStopsTheGameNorChangesTheFile) {
  MakeDatabase(Db(1));
  MakeDatabase(Db(0));
  const std::string before[2] = {ReadFile(Db(0)), ReadFile(Db(1))};

  int ready[2];
  int release[2];
  ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(release, O_CLOEXEC), 0);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    close(ready[0]);
    close(release[1]);
    HoldExclusive({Db(0), Db(1)}, ready[1], release[0]);
  }
  started.Add(holder);
  close(ready[1]);
  close(release[0]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the other process could not lock the databases";
  close(ready[0]);

  long long began = NowMs();
  ProcessResult r = Launch({}, {}, 180000);
  long long took = NowMs() - began;
  close(release[1]);
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  started.Forget(holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the lock was held throughout";

  ASSERT_TRUE(r.exited) << "signal " << r.signal << (r.timed_out ? " (timed out)" : "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Count(Calls(), "vokRun"), 1);
  EXPECT_EQ(Count(Calls(), "vokClose -> 0"), 1);
  EXPECT_EQ(MaskBanners(Log()), Join(GameLog(1)));
  EXPECT_TRUE(ReadFile(Db(0)) == before[0]) << "the current user's database changed";
  EXPECT_TRUE(ReadFile(Db(1)) == before[1]) << "the all-users database changed";
  EXPECT_EQ(IntegrityCheck(Db(0)), "ok");
  EXPECT_EQ(IntegrityCheck(Db(1)), "ok");
  EXPECT_EQ(DatabaseRows(Db(0)), kOtherRow);
  EXPECT_EQ(DatabaseRows(Db(1)), kOtherRow);

  ReliabilityNote({"fault", "preferences databases locked by another process (BEGIN EXCLUSIVE, both scopes)",
                   "waited out the 5 s busy timeout on each preferences call (the launch took " +
                       std::to_string((took + 500) / 1000) +
                       " s), then ran the game without an instance record, exit status 0, log whole",
                   "nothing: both databases byte for byte as before; while locked no launch can record "
                   "itself, so the single-instance guard cannot work",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

TEST_F(FaultTest, DatabaseOfGarbageBytesIsLeftAsItIs) {
  // The first 100 bytes of a real database (a valid header), then garbage.
  std::string header;
  {
    TempDir scratch;
    MakeDatabase(scratch / "real.db");
    header = ReadFile(scratch / "real.db").substr(0, 100);
  }
  const std::string random = AsText(RandomBytes(16384, 1));
  const std::string headed = header + random.substr(100);

  struct Case {
    const char* name;
    std::string allUsers;     // the file's bytes; empty: a sound database
    std::string currentUser;  // the same
  };
  const Case cases[] = {
      {"preferences databases of random bytes (both scopes)", random, random},
      {"preferences databases with a valid header and random pages (both scopes)", headed, headed},
      {"all-users database of random bytes, current user's sound", random, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    MakeDirs(home + "/shared-prefs");
    MakeDirs(home + "/.config/orvan");
    for (int scope = 0; scope < 2; ++scope) {
      const std::string& garbage = scope ? c.allUsers : c.currentUser;
      if (garbage.empty()) {
        MakeDatabase(Db(scope));
      } else {
        ASSERT_TRUE(WriteFile(Db(scope), garbage));
      }
    }

    ProcessResult r = Launch();
    ASSERT_TRUE(r.exited) << "signal " << r.signal;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(Count(Calls(), "vokRun"), 1);
    EXPECT_EQ(MaskBanners(Log()), Join(GameLog(1)));
    for (int scope = 0; scope < 2; ++scope) {
      const std::string& garbage = scope ? c.allUsers : c.currentUser;
      if (garbage.empty()) {
        EXPECT_EQ(DatabaseRows(Db(scope)), kOtherRow) << "the record went here and was removed";
        continue;
      }
      EXPECT_TRUE(ReadFile(Db(scope)) == garbage) << "scope " << scope << ": the file changed";
    }
    EXPECT_FALSE(FileExists(Db(1) + "-journal"));
    EXPECT_FALSE(FileExists(Db(0) + "-journal"));

    ReliabilityNote({"fault", c.name,
                     c.currentUser.empty()
                         ? "ran the game, exit status 0; the instance record went to the current user's "
                           "database and was removed at the end"
                         : "ran the game without an instance record, exit status 0, log whole",
                     c.currentUser.empty() ? "nothing: the garbage file byte for byte as before"
                                           : "nothing: both files byte for byte as before; without a usable "
                                             "database the single-instance guard cannot work",
                     ::testing::Test::HasFailure() ? "FAILED" : "passed"});
  }
}

TEST_F(FaultTest, KillDuringPreferencesWritesKeepsEveryOtherKey) {
  const std::vector<std::string> env = LaunchEnv(home);
  const std::string db = Db(0);
  ProcessResult fixed = RunProcess({ORVAN_PREFS_WRITER, "fixed", "50"}, env);
  ASSERT_TRUE(fixed.exited && fixed.exit_code == 0) << fixed.err;

  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_us(5000, 60000);
  // Kills until ten landed in the middle of a write (the rollback journal
  // was there), or sixty in all.
  int kills = 0;
  int midWrite = 0;
  int checked = 0;
  while (kills < 60 && midWrite < 10) {
    pid_t writer = StartProcess({ORVAN_PREFS_WRITER, "churn"}, env);
    ASSERT_GT(writer, 0);
    usleep(static_cast<useconds_t>(delay_us(random)));
    kill(writer, SIGKILL);
    ProcessResult killed = WaitProcess(writer);
    ASSERT_EQ(killed.signal, SIGKILL) << "the writer ended by itself";
    ++kills;
    struct stat journal;
    if (stat((db + "-journal").c_str(), &journal) == 0 && journal.st_size > 0) ++midWrite;

    // Read back through the launcher's own store, which rolls an unfinished
    // write back first.
    ProcessResult check = RunProcess({ORVAN_PREFS_WRITER, "check", "50"}, env);
    EXPECT_TRUE(check.exited && check.exit_code == 0) << "after kill " << kills << ": " << check.out << check.err;
    EXPECT_EQ(IntegrityCheck(db), "ok") << "after kill " << kills;
    checked += check.exited && check.exit_code == 0;
  }
  EXPECT_GT(midWrite, 0) << "no kill landed in the middle of a write";

  ReliabilityNote({"fault",
                   "writer of preferences killed with kill -9 at random moments (" + std::to_string(kills) +
                       " kills, " + std::to_string(midWrite) + " in the middle of a write)",
                   "the next read rolled the unfinished write back; the database opened and passed "
                   "integrity_check after every kill",
                   checked == kills ? "nothing: all 50 keys written before were there after every kill, and no "
                                      "value was torn"
                                    : "keys or values after " + std::to_string(kills - checked) + " kills",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

TEST_F(FaultTest, EngineCrashInRunThenTheNextLaunchStartsNormally) {
  ProcessResult crashed;
  {
    ScopedLimit noCore(RLIMIT_CORE, 0);
    crashed = Launch({}, {"TE_RUN=crash"});
  }
  ASSERT_FALSE(crashed.exited);
  EXPECT_EQ(crashed.signal, SIGABRT);
  // Every line up to the crash is in the log: each was flushed.
  std::vector<std::string> one = GameLog(1);
  size_t running = 0;
  while (one[running] != "[main] Running\n") ++running;
  EXPECT_EQ(MaskBanners(Log()), Join(one, running + 1));
  std::vector<std::string> stale = DatabaseRows(Db(1));
  ASSERT_EQ(stale.size(), 1u);
  EXPECT_EQ(stale[0].rfind("com.brambleford.Test Game|PSN=", 0), 0u) << stale[0];

  ProcessResult next = Launch();
  ASSERT_TRUE(next.exited) << "signal " << next.signal;
  EXPECT_EQ(next.exit_code, 0);
  EXPECT_EQ(Count(Calls(), "vokRun"), 2);
  EXPECT_EQ(Count(Calls(), "vokClose -> 0"), 1);
  EXPECT_EQ(MaskBanners(Log()), Join(one)) << "the log starts anew";
  EXPECT_EQ(DatabaseRows(Db(1)), std::vector<std::string>{});
  EXPECT_EQ(DatabaseRows(Db(0)), std::vector<std::string>{"(no database)"});
  EXPECT_FALSE(ProbeLeft());

  ReliabilityNote({"fault", "engine crashes in vokRun (abort), then the player starts the game again",
                   "the crashed launch left its log up to \"[main] Running\" and a stale instance record; "
                   "the next launch took the record over, ran the game, started the log anew and removed the "
                   "record, exit status 0",
                   "the crashed game's session (the engine's own fault); nothing of the launcher's",
                   ::testing::Test::HasFailure() ? "FAILED" : "passed"});
}

}  // namespace
