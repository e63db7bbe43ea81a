// The preferences store against temporary databases: XDG_CONFIG_HOME and
// ORVAN_SHARED_PREFS_DIR point into a fresh folder for every test.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
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

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

// Runs SQL on a database file directly, as another tool would.
bool Sql(const std::string& path, const std::string& sql, std::string* result = nullptr) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  sqlite3_stmt* stmt = nullptr;
  bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
  int rc = ok ? sqlite3_step(stmt) : SQLITE_ERROR;
  ok = ok && (rc == SQLITE_ROW || rc == SQLITE_DONE);
  if (ok && result != nullptr) {
    const unsigned char* text = rc == SQLITE_ROW ? sqlite3_column_text(stmt, 0) : nullptr;
    *result = text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                            static_cast<size_t>(sqlite3_column_bytes(stmt, 0)))
                              : "(none)";
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return ok;
}

class PrefsTest : public ::testing::Test {
 protected:
  PrefsTest()
      : config_env("XDG_CONFIG_HOME", tmp / "config"),
        shared_env("ORVAN_SHARED_PREFS_DIR", tmp / "shared"),
        home_env("HOME", tmp / "home") {}

  std::string UserDb() const { return tmp / "config/orvan/preferences.db"; }
  std::string SharedDb() const { return tmp / "shared/preferences.db"; }

  TempDir tmp;
  ScopedEnv config_env;
  ScopedEnv shared_env;
  ScopedEnv home_env;
};

TEST_F(PrefsTest, KeepsValuesPerScopeAndDomainForThisHost) {
  EXPECT_EQ(SetSystemPreference(1, "Test Game", "PSN", "shared value"), 1);
  EXPECT_EQ(SetSystemPreference(0, "Test Game", "PSN", "user value"), 1);
  EXPECT_STREQ(GetSystemPreference(1, "Test Game", "PSN", nullptr), "shared value");
  EXPECT_STREQ(GetSystemPreference(0, "Test Game", "PSN", nullptr), "user value");

  // "!" names the domain text itself; without it the vendor prefix comes first.
  EXPECT_STREQ(GetSystemPreference(0, "!com.brambleford.Test Game", "PSN", nullptr), "user value");
  EXPECT_EQ(GetSystemPreference(0, "!Test Game", "PSN", nullptr), nullptr);
  EXPECT_EQ(SetSystemPreference(0, "!Test Game", "PSN", "bare"), 1);
  EXPECT_STREQ(GetSystemPreference(0, "Test Game", "PSN", nullptr), "user value");

  std::string row;
  ASSERT_TRUE(Sql(UserDb(), "SELECT group_concat(host || '|' || domain || '|' || key || '|' || value, ';') "
                            "FROM (SELECT * FROM preferences ORDER BY domain)", &row));
  EXPECT_EQ(row, ThisHost() + "|Test Game|PSN|bare;" + ThisHost() + "|com.brambleford.Test Game|PSN|user value");

  // Another host's value is not this machine's.
  ASSERT_TRUE(Sql(UserDb(), "UPDATE preferences SET host = 'elsewhere' WHERE domain = 'Test Game'"));
  EXPECT_EQ(GetSystemPreference(0, "!Test Game", "PSN", nullptr), nullptr);

  EXPECT_EQ(RemoveSystemPreference(1, "Test Game", "PSN"), 1);
  EXPECT_EQ(GetSystemPreference(1, "Test Game", "PSN", nullptr), nullptr);
  EXPECT_STREQ(GetSystemPreference(0, "Test Game", "PSN", nullptr), "user value");
  EXPECT_EQ(RemoveSystemPreference(1, "Test Game", "PSN"), 1);  // nothing there: still 1
  EXPECT_EQ(RemoveSystemPreference(0, "Never Written", "PSN"), 1);
}

TEST_F(PrefsTest, Latin1TextComesBackAsTheSameBytes) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string domain = "Jeu \xE9t\xE9";
  const std::string key = "cl\xE9";
  ASSERT_EQ(SetSystemPreference(0, domain.c_str(), key.c_str(), all.c_str()), 1);
  const char* got = GetSystemPreference(0, domain.c_str(), key.c_str(), nullptr);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(std::string(got), all);

  // Stored as UTF-8 text, readable by any SQLite tool.
  ASSERT_EQ(SetSystemPreference(0, domain.c_str(), key.c_str(), "caf\xE9"), 1);
  std::string stored;
  ASSERT_TRUE(Sql(UserDb(), "SELECT typeof(value) || ':' || value || ':' || domain FROM preferences", &stored));
  EXPECT_EQ(stored, "text:caf\xC3\xA9:com.brambleford.Jeu \xC3\xA9t\xC3\xA9");
}

TEST_F(PrefsTest, KeysAndValuesAreDataNotSql) {
  const char* key = "k'); DROP TABLE preferences; --";
  const char* value = "v' OR '1'='1";
  ASSERT_EQ(SetSystemPreference(0, "Game\"'", key, value), 1);
  EXPECT_STREQ(GetSystemPreference(0, "Game\"'", key, nullptr), value);
  EXPECT_EQ(GetSystemPreference(0, "Game\"'", "k", nullptr), nullptr);
}

TEST_F(PrefsTest, ReadsComeBackInTheSharedScratchBufferUpTo1023Characters) {
  const std::string fits(1023, 'x');
  const std::string too_long(1024, 'y');
  const char* def = "default";
  ASSERT_EQ(SetSystemPreference(0, "G", "fits", fits.c_str()), 1);
  ASSERT_EQ(SetSystemPreference(0, "G", "long", too_long.c_str()), 1);

  const char* first = GetSystemPreference(0, "G", "fits", def);
  EXPECT_EQ(first, s_sTempPath);
  EXPECT_EQ(std::string(first), fits);
  EXPECT_EQ(GetSystemPreference(0, "G", "long", def), def);
  EXPECT_EQ(GetSystemPreference(0, "G", "missing", def), def);
  EXPECT_EQ(GetSystemPreference(0, "G", "missing", nullptr), nullptr);

  ASSERT_EQ(SetSystemPreference(0, "G", "other", "second"), 1);
  const char* second = GetSystemPreference(0, "G", "other", def);
  EXPECT_EQ(second, first);
  EXPECT_STREQ(first, "second");
  ASSERT_NE(GetHomePath(), nullptr);
  EXPECT_STREQ(second, (tmp / "home").c_str());
}

TEST_F(PrefsTest, StoredValuesThatAreNotLatin1TextReadAsNoValue) {
  const char* cases[] = {
      "42",                          // INTEGER, as `sqlite3 db "UPDATE ... SET value = 42"` leaves it
      "4.5",                         // REAL
      "X'6869'",                     // BLOB, even of text bytes
      "NULL",                        //
      "'\xC4\x80'",                  // U+0100: no Latin-1 form
      "'a' || char(0) || 'b'",       // a zero inside
      "CAST(X'C3' AS TEXT)",         // cut UTF-8 sequence
      "CAST(X'C080' AS TEXT)",       // overlong form of U+0000
      "CAST(X'E282AC' AS TEXT)",     // the euro sign
  };
  const char* def = "default";
  for (const char* value : cases) {
    ASSERT_EQ(SetSystemPreference(0, "G", "k", "text"), 1);
    ASSERT_TRUE(Sql(UserDb(), std::string("UPDATE preferences SET value = ") + value)) << value;
    EXPECT_EQ(GetSystemPreference(0, "G", "k", def), def) << value;
  }
  // The same row holding proper text reads again.
  ASSERT_TRUE(Sql(UserDb(), "UPDATE preferences SET value = '\xC3\xBF'"));
  EXPECT_STREQ(GetSystemPreference(0, "G", "k", def), "\xFF");
}

TEST_F(PrefsTest, ReadsAndRemovalsNeverCreateADatabaseWritesDo) {
  EXPECT_EQ(GetSystemPreference(0, "G", "k", nullptr), nullptr);
  EXPECT_EQ(GetSystemPreference(1, "G", "k", nullptr), nullptr);
  EXPECT_EQ(RemoveSystemPreference(0, "G", "k"), 1);
  EXPECT_EQ(RemoveSystemPreference(1, "G", "k"), 1);
  EXPECT_FALSE(FileExists(tmp / "config"));
  EXPECT_FALSE(FileExists(tmp / "shared"));

  ASSERT_EQ(SetSystemPreference(0, "G", "k", "v"), 1);
  ASSERT_EQ(SetSystemPreference(1, "G", "k", "v"), 1);
  struct stat st;
  ASSERT_EQ(stat((tmp / "config/orvan").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(FileExists(UserDb()));
  EXPECT_TRUE(FileExists(SharedDb()));
}

TEST_F(PrefsTest, DomainTextOver255CharactersIsRefusedNotCut) {
  const std::string prefix = "com.brambleford.";
  struct Case {
    std::string name;
    bool fits;
  };
  const Case cases[] = {
      {std::string(255 - prefix.size(), 'a'), true},
      {std::string(256 - prefix.size(), 'b'), false},
      {"!" + std::string(255, 'c'), true},
      {"!" + std::string(256, 'd'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetSystemPreference(0, c.name.c_str(), "k", "v"), c.fits ? 1 : 0) << c.name.size();
    EXPECT_EQ(GetSystemPreference(0, c.name.c_str(), "k", nullptr) != nullptr, c.fits) << c.name.size();
    EXPECT_EQ(RemoveSystemPreference(0, c.name.c_str(), "k"), c.fits ? 1 : 0) << c.name.size();
  }
  // Nothing was stored under a cut name either.
  std::string count;
  ASSERT_TRUE(Sql(UserDb(), "SELECT count(*) FROM preferences", &count));
  EXPECT_EQ(count, "0");
}

TEST_F(PrefsTest, FileThatIsNotADatabaseIsLeftAlone) {
  for (size_t size : {37u, 5000u}) {
    std::string garbage;
    for (size_t i = 0; i < size; ++i) garbage.push_back(static_cast<char>((i * 7 + 3) % 256));
    ASSERT_TRUE(MakeDirs(tmp / "config/orvan"));
    ASSERT_TRUE(WriteFile(UserDb(), garbage));
    EXPECT_EQ(GetSystemPreference(0, "G", "k", nullptr), nullptr);
    EXPECT_EQ(SetSystemPreference(0, "G", "k", "v"), 0);
    EXPECT_EQ(RemoveSystemPreference(0, "G", "k"), 0);
    EXPECT_EQ(ReadFile(UserDb()), garbage) << size;
    EXPECT_FALSE(FileExists(UserDb() + "-journal"));
  }
}

TEST_F(PrefsTest, FolderThatCannotBeMadeRefusesWrites) {
  ASSERT_TRUE(WriteFile(tmp / "plain-file", "x"));
  ScopedEnv config("XDG_CONFIG_HOME", tmp / "plain-file/config");
  ScopedEnv shared("ORVAN_SHARED_PREFS_DIR", tmp / "plain-file/shared");
  EXPECT_EQ(SetSystemPreference(0, "G", "k", "v"), 0);
  EXPECT_EQ(SetSystemPreference(1, "G", "k", "v"), 0);
  EXPECT_EQ(GetSystemPreference(0, "G", "k", nullptr), nullptr);
  EXPECT_EQ(ReadFile(tmp / "plain-file"), "x");
}

// A database that another process holds locked past the busy timeout: the
// store gives up instead of waiting for ever, and the file stays as it was.
TEST_F(PrefsTest, DatabaseLockedByAnotherProcessFailsAfterTheBusyTimeout) {
  ASSERT_EQ(SetSystemPreference(0, "G", "k", "before"), 1);
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(release[1]);
    sqlite3* db = nullptr;
    if (sqlite3_open(UserDb().c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      _exit(1);
    }
    if (write(ready[1], "1", 1) != 1) _exit(1);
    char c;
    while (read(release[0], &c, 1) > 0) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);

  PlatformPrefsSetBusyTimeout(200);
  EXPECT_EQ(GetSystemPreference(0, "G", "k", nullptr), nullptr);
  EXPECT_EQ(SetSystemPreference(0, "G", "k", "during"), 0);
  EXPECT_EQ(RemoveSystemPreference(0, "G", "k"), 0);
  PlatformPrefsSetBusyTimeout(5000);

  close(release[1]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(ready[0]);
  EXPECT_STREQ(GetSystemPreference(0, "G", "k", nullptr), "before");
}

// A database the process may read but not write (a read-only disk, or
// another user's file): reads work, writes give 0, the file is untouched.
// Permission bits do not stop root, so as root the checks run in a child
// that has become nobody.
TEST_F(PrefsTest, DatabaseThatCannotBeWrittenStillReads) {
  ASSERT_EQ(SetSystemPreference(0, "G", "k", "kept"), 1);
  const std::string before = ReadFile(UserDb());
  ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((tmp / "config").c_str(), 0755), 0);
  ASSERT_EQ(chmod((tmp / "config/orvan").c_str(), 0555), 0);
  ASSERT_EQ(chmod(UserDb().c_str(), 0444), 0);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    if (access(UserDb().c_str(), R_OK) != 0) _exit(20);  // a folder above is closed to us
    int failures = 0;
    const char* got = GetSystemPreference(0, "G", "k", nullptr);
    if (got == nullptr || strcmp(got, "kept") != 0) failures |= 1;
    if (SetSystemPreference(0, "G", "k", "changed") != 0) failures |= 2;
    if (RemoveSystemPreference(0, "G", "k") != 0) failures |= 4;
    if (SetSystemPreference(0, "G", "new", "x") != 0) failures |= 8;
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 20) GTEST_SKIP() << "the temporary folder is not reachable for another user";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "bits: 1 read, 2 write, 4 remove, 8 new key, 10 no setuid";

  chmod((tmp / "config/orvan").c_str(), 0700);
  EXPECT_EQ(ReadFile(UserDb()), before);
  EXPECT_STREQ(GetSystemPreference(0, "G", "k", nullptr), "kept");
}

}  // namespace
