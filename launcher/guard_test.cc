// The instance guard, the process identity it records and the relay, in
// process, against temporary preferences databases.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

// A child process that tells its identity and stays until stopped.
class Child {
 public:
  explicit Child(const char* name = nullptr) {
    int id_pipe[2];
    if (pipe(id_pipe) != 0 || pipe(hold_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(id_pipe[0]);
      close(hold_[1]);
      if (name != nullptr) prctl(PR_SET_NAME, name, 0, 0, 0);
      PlatformProcessId self;
      if (!PlatformCurrentProcess(&self)) _exit(1);
      if (write(id_pipe[1], self.bytes, sizeof self.bytes) != (ssize_t)sizeof self.bytes) _exit(1);
      char c;
      while (read(hold_[0], &c, 1) > 0) {
      }
      _exit(0);
    }
    close(id_pipe[1]);
    close(hold_[0]);
    ok_ = read(id_pipe[0], id_.bytes, sizeof id_.bytes) == (ssize_t)sizeof id_.bytes;
    close(id_pipe[0]);
  }
  ~Child() {
    Stop();
    Reap();
  }
  bool ok() const { return ok_; }
  pid_t pid() const { return pid_; }
  const PlatformProcessId& id() const { return id_; }
  // Lets the child end; it stays a zombie until reaped.
  void Stop() {
    if (hold_[1] >= 0) close(hold_[1]);
    hold_[1] = -1;
    siginfo_t info;
    if (pid_ > 0) waitid(P_PID, pid_, &info, WEXITED | WNOWAIT);
  }
  void Reap() {
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int hold_[2] = {-1, -1};
  bool ok_ = false;
  PlatformProcessId id_{};
};

std::string Hex(const PlatformProcessId& id) {
  char text[17];
  EXPECT_EQ(BytesToHex(id.bytes, 8, text, sizeof text), 1);
  return text;
}

PlatformProcessId Identity(uint32_t pid, uint32_t start) {
  PlatformProcessId id;
  memcpy(id.bytes, &pid, 4);
  memcpy(id.bytes + 4, &start, 4);
  return id;
}

uint32_t StartOf(const PlatformProcessId& id) {
  uint32_t start;
  memcpy(&start, id.bytes + 4, 4);
  return start;
}

TEST(ProcessIdentity, IsPidAndStartTimeEvenBehindAnAwkwardCommandName) {
  // ')' and blanks in the name, and a 'Z' where a naive parser looks for the state.
  const char* name = "a) Z (b) 1 2";
  Child child(name);
  ASSERT_TRUE(child.ok());
  std::string stat = ReadFile("/proc/" + std::to_string(child.pid()) + "/stat");
  std::string head = std::to_string(child.pid()) + " (" + name + ") ";
  ASSERT_EQ(stat.rfind(head, 0), 0u) << stat;
  // Fields 3 to 22 after the name; the start time is the last of them.
  std::vector<std::string> fields;
  size_t at = head.size();
  while (fields.size() < 20) {
    size_t end = stat.find(' ', at);
    fields.push_back(stat.substr(at, end - at));
    at = end + 1;
  }
  EXPECT_EQ(child.id().bytes[0] | child.id().bytes[1] << 8 | child.id().bytes[2] << 16 |
                child.id().bytes[3] << 24,
            child.pid());
  EXPECT_EQ(StartOf(child.id()), static_cast<uint32_t>(std::stoull(fields[19])));

  EXPECT_EQ(PlatformProcessIsLive(&child.id()), 1);
  PlatformProcessId reused = Identity(static_cast<uint32_t>(child.pid()), StartOf(child.id()) + 1);
  EXPECT_EQ(PlatformProcessIsLive(&reused), 0);
  child.Stop();
  EXPECT_EQ(PlatformProcessIsLive(&child.id()), 0) << "a zombie is not live";
  child.Reap();
  EXPECT_EQ(PlatformProcessIsLive(&child.id()), 0);
  PlatformProcessId none = Identity(0, 0);
  EXPECT_EQ(PlatformProcessIsLive(&none), 0);
}

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Save("XDG_CONFIG_HOME", tmp / "config");
    Save("ORVAN_SHARED_PREFS_DIR", tmp / "shared");
    Save("HOME", tmp / "home");
    snprintf(saved_name_, sizeof saved_name_, "%s", g_AppNameLong);
    snprintf(g_AppNameLong, sizeof g_AppNameLong, "%s", "Guard Test");
    saved_lock_ = g_HaveLock;
    g_HaveLock = 0;
    ASSERT_EQ(PlatformCurrentProcess(&self_), 1);
  }
  void TearDown() override {
    for (auto& [name, value] : saved_env_) {
      if (value.has_value) {
        setenv(name.c_str(), value.text.c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    snprintf(g_AppNameLong, sizeof g_AppNameLong, "%s", saved_name_);
    g_HaveLock = saved_lock_;
  }
  void Save(const char* name, const std::string& value) {
    const char* old = getenv(name);
    saved_env_.push_back({name, {old != nullptr, old != nullptr ? old : ""}});
    setenv(name, value.c_str(), 1);
  }
  std::string Record(int allUsers) {
    const char* text = GetSystemPreference(allUsers, "Guard Test", "PSN", nullptr);
    return text != nullptr ? text : "(none)";
  }

  struct EnvValue {
    bool has_value;
    std::string text;
  };
  TempDir tmp;
  std::vector<std::pair<std::string, EnvValue>> saved_env_;
  char saved_name_[256];
  int saved_lock_ = 0;
  PlatformProcessId self_;
};

TEST_F(GuardTest, RecordThatNamesNoLiveProcessIsTakenOver) {
  Child dead;
  ASSERT_TRUE(dead.ok());
  dead.Stop();
  dead.Reap();
  Child zombie;
  ASSERT_TRUE(zombie.ok());
  zombie.Stop();
  const std::string reused = Hex(Identity(static_cast<uint32_t>(getpid()), StartOf(self_) + 7));
  const std::string live = Hex(self_);

  struct Case {
    const char* what;
    std::string record;  // empty: none
  };
  const Case cases[] = {
      {"no record", ""},
      {"15 characters", live.substr(0, 15)},
      {"17 characters", live + "0"},
      {"16 characters, not hex", "0123456789ABCDEG"},
      {"1023 characters", std::string(1023, 'A')},
      {"a process that ended", Hex(dead.id())},
      {"a zombie", Hex(zombie.id())},
      {"a reused process id", reused},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RemoveSystemPreference(1, "Guard Test", "PSN"), 1);
    if (!c.record.empty()) {
      ASSERT_EQ(SetSystemPreference(1, "Guard Test", "PSN", c.record.c_str()), 1);
    }
    g_HaveLock = 0;
    EXPECT_EQ(AlreadyRunning(), 0) << c.what;
    EXPECT_EQ(g_HaveLock, 1) << c.what;
    EXPECT_EQ(Record(1), Hex(self_)) << c.what;
  }
  EXPECT_EQ(Record(0), "(none)");
}

TEST_F(GuardTest, LiveRecordInEitherScopeMeansAnotherInstanceRuns) {
  Child other;
  ASSERT_TRUE(other.ok());
  Child ended;
  ASSERT_TRUE(ended.ok());
  ended.Stop();
  ended.Reap();

  ASSERT_EQ(SetSystemPreference(1, "Guard Test", "PSN", Hex(other.id()).c_str()), 1);
  EXPECT_EQ(AlreadyRunning(), 1);
  EXPECT_EQ(g_HaveLock, 0);
  EXPECT_EQ(Record(1), Hex(other.id()));

  // A stale record for all users must not hide the live one of the current user.
  ASSERT_EQ(SetSystemPreference(1, "Guard Test", "PSN", Hex(ended.id()).c_str()), 1);
  ASSERT_EQ(SetSystemPreference(0, "Guard Test", "PSN", Hex(other.id()).c_str()), 1);
  EXPECT_EQ(AlreadyRunning(), 1);
  EXPECT_EQ(g_HaveLock, 0);
  EXPECT_EQ(Record(1), Hex(ended.id()));
  EXPECT_EQ(Record(0), Hex(other.id()));

  // Once that instance is gone, the launch takes over.
  other.Stop();
  other.Reap();
  EXPECT_EQ(AlreadyRunning(), 0);
  EXPECT_EQ(g_HaveLock, 1);
  EXPECT_EQ(Record(1), Hex(self_));
}

TEST_F(GuardTest, RefusedAllUsersWriteFallsBackToTheCurrentUser) {
  ASSERT_TRUE(WriteFile(tmp / "plain-file", "x"));
  setenv("ORVAN_SHARED_PREFS_DIR", (tmp / "plain-file/shared").c_str(), 1);
  EXPECT_EQ(AlreadyRunning(), 0);
  EXPECT_EQ(g_HaveLock, 1);
  EXPECT_EQ(Record(0), Hex(self_));
  EXPECT_TRUE(FileExists(tmp / "config/orvan/instance.lock"));
}

TEST_F(GuardTest, OwnRecordLeftFromAnEarlierCycleIsNotAnotherInstance) {
  ASSERT_EQ(SetSystemPreference(1, "Guard Test", "PSN", Hex(self_).c_str()), 1);
  EXPECT_EQ(AlreadyRunning(), 0);
  EXPECT_EQ(g_HaveLock, 1);
  // Once set, nothing sets it back, not even a hand-off in a later cycle.
  Child other;
  ASSERT_TRUE(other.ok());
  ASSERT_EQ(SetSystemPreference(1, "Guard Test", "PSN", Hex(other.id()).c_str()), 1);
  EXPECT_EQ(AlreadyRunning(), 1);
  EXPECT_EQ(g_HaveLock, 1);
}

std::vector<std::string> g_delivered;
int RecordMessage(const char* message) {
  g_delivered.push_back(message);
  return 1;
}

class RelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_bound_ = vokSendIPC;
    vokSendIPC = nullptr;
    g_sDelayedIPC[0] = '\0';
    g_delivered.clear();
  }
  void TearDown() override {
    vokSendIPC = saved_bound_;
    g_sDelayedIPC[0] = '\0';
  }
  int (*saved_bound_)(const char*) = nullptr;
};

TEST_F(RelayTest, HoldsTheLatestMessageUntilTheEngineIsBound) {
  SendIPC("OpenFile|/one");
  SendIPC("OpenFile|/two");
  EXPECT_STREQ(g_sDelayedIPC, "OpenFile|/two");

  const std::string fits = "OpenFile|" + std::string(4095 - 9, 'f');
  SendIPC(fits.c_str());
  EXPECT_EQ(std::string(g_sDelayedIPC), fits);
  // One that does not fit is not cut into another file's name; it is not held.
  const std::string too_long = "OpenFile|" + std::string(4096 - 9, 'g');
  SendIPC(too_long.c_str());
  EXPECT_STREQ(g_sDelayedIPC, "");
  EXPECT_TRUE(g_delivered.empty());
}

TEST_F(RelayTest, BoundEngineGetsEveryMessageAtOnceAndTheLogShowsIt) {
  TempDir tmp;
  char saved_user[256], saved_file[256];
  snprintf(saved_user, sizeof saved_user, "%s", g_UserPath);
  snprintf(saved_file, sizeof saved_file, "%s", g_AppFilename);
  CloseLog();
  snprintf(g_UserPath, sizeof g_UserPath, "%s/", tmp.path().c_str());
  snprintf(g_AppFilename, sizeof g_AppFilename, "%s", "Relay");

  vokSendIPC = RecordMessage;
  SendIPC("OpenFile|/now");
  const std::string long_one = "OpenFile|" + std::string(5000, 'h');
  SendIPC(long_one.c_str());
  CloseLog();
  std::vector<std::string> want = {"OpenFile|/now", long_one};
  EXPECT_EQ(g_delivered, want);
  EXPECT_STREQ(g_sDelayedIPC, "");
  std::string log = ReadFile(tmp / "Relay.txt");
  EXPECT_NE(log.find("\n[SendIPC] OpenFile|/now\n[SendIPC] " + long_one + "\n"), std::string::npos) << log;

  snprintf(g_UserPath, sizeof g_UserPath, "%s", saved_user);
  snprintf(g_AppFilename, sizeof g_AppFilename, "%s", saved_file);
}

}  // namespace
