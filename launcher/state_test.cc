// Folders and the log: the resources folder derived from argv[0], the user
// folder, path creation and the log's name and banners.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "launcher/launcher.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

// Keeps the working directory and HOME of the test process as they were.
class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    const char* home = getenv("HOME");
    saved_home_ = home ? home : "";
    setenv("HOME", (tmp / "home").c_str(), 1);
    MakeDirs(tmp / "home");
    g_UserPath[0] = '\0';
  }
  void TearDown() override {
    CloseLog();
    ASSERT_EQ(chdir(cwd_), 0);
    setenv("HOME", saved_home_.c_str(), 1);
    g_UserPath[0] = '\0';
    g_AppFilename[0] = '\0';
  }

  TempDir tmp;
  char cwd_[4096];
  std::string saved_home_;
};

struct SetPathCase {
  const char* argv0;
  const char* filename;
  const char* resources;
};

TEST_F(StateTest, SetPathDerivesNameAndResourcesFolder) {
  const SetPathCase cases[] = {
      {"/Applications/Game.app/Contents/MacOS/Game", "Game", "/Applications/Game.app/Contents/Resources"},
      {"/a/b/c/", "", "/a/b/Resources"},
      {"/a/b//c", "c", "/a/b/Resources"},
      {"/a/X", "X", "/Resources"},
      {"MacOS/Game", "Game", "Resources"},
      {"Game", "Game", "Resources"},
      {"/X", "X", "Resources"},
      {"", "", "Resources"},
  };
  for (const SetPathCase& c : cases) {
    std::string arg = c.argv0;
    SetPath(arg.data());
    EXPECT_STREQ(g_AppExePath, c.argv0);
    EXPECT_STREQ(g_AppFilename, c.filename) << c.argv0;
    EXPECT_STREQ(g_AppPath, c.resources) << c.argv0;
  }
}

TEST_F(StateTest, SetPathMakesResourcesTheWorkingDirectory) {
  MakeDirs(tmp / "Game.app/Contents/Resources");
  std::string exe = tmp / "Game.app/Contents/MacOS/Game";
  SetPath(exe.data());
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), tmp / "Game.app/Contents/Resources");
}

TEST_F(StateTest, SetPathRefusesAPathThatDoesNotFit) {
  std::string fits = "/" + std::string(244, 'd') + "/MacOS/G";  // 254 characters
  SetPath(fits.data());
  EXPECT_STREQ(g_AppFilename, "G");
  EXPECT_EQ(std::string(g_AppPath), "/" + std::string(244, 'd') + "/Resources");

  std::string too_long = "/" + std::string(300, 'd') + "/MacOS/G";
  SetPath(too_long.data());
  EXPECT_STREQ(g_AppExePath, "");
  EXPECT_STREQ(g_AppFilename, "");
  EXPECT_STREQ(g_AppPath, "");

  // The executable path fits, but the resources folder would not.
  std::string deep = "/" + std::string(248, 'd') + "/M/G";
  SetPath(deep.data());
  EXPECT_STREQ(g_AppPath, "");
}

TEST_F(StateTest, FolderQueriesShareOneBuffer) {
  const char* app_data = GetAppDataPath();
  ASSERT_NE(app_data, nullptr);
  EXPECT_EQ(std::string(app_data), tmp / "home/Library/Application Support");
  const char* docs = GetMyDocumentsPath();
  EXPECT_EQ(docs, app_data);
  EXPECT_EQ(std::string(app_data), tmp / "home/Documents");

  setenv("HOME", (tmp / "home//").c_str(), 1);
  EXPECT_EQ(std::string(GetHomePath()), tmp / "home");

  setenv("HOME", ("/" + std::string(1010, 'h')).c_str(), 1);
  EXPECT_NE(GetHomePath(), nullptr);
  EXPECT_EQ(GetAppDataPath(), nullptr);  // refused, not cut
}

TEST_F(StateTest, CreatePathMakesEveryFolderAlongTheWay) {
  ASSERT_EQ(chdir(tmp.path().c_str()), 0);
  EXPECT_EQ(fsCreatePath((tmp / "a/b/c").c_str()), 1);
  EXPECT_TRUE(FileExists(tmp / "a/b/c"));
  EXPECT_EQ(fsCreatePath("x/y/"), 1);
  EXPECT_TRUE(FileExists(tmp / "x/y"));
  EXPECT_EQ(fsCreatePath((tmp / "p//q").c_str()), 1);
  EXPECT_TRUE(FileExists(tmp / "p/q"));
  EXPECT_EQ(fsCreatePath(""), 1);
  EXPECT_EQ(fsCreatePath("/"), 1);

  // An existing file of the folder's name counts as made; a folder below it cannot be.
  WriteFile(tmp / "file", "x");
  EXPECT_EQ(fsCreateDirectory((tmp / "file").c_str()), 1);
  EXPECT_EQ(fsCreatePath((tmp / "file/sub").c_str()), 0);
  EXPECT_EQ(fsCreatePath(("/" + std::string(1100, 'z')).c_str()), 0);
}

TEST_F(StateTest, WriteableFolderLeavesNoProbe) {
  EXPECT_EQ(fsIsDirectoryWriteable((tmp / "w/x").c_str()), 1);
  EXPECT_FALSE(FileExists(tmp / "w/x/__BRF_WRITE_TEST__.txt"));
  if (geteuid() != 0) {  // root writes anywhere
    MakeDirs(tmp / "ro");
    chmod((tmp / "ro").c_str(), 0555);
    EXPECT_EQ(fsIsDirectoryWriteable((tmp / "ro").c_str()), 0);
  }
}

TEST_F(StateTest, UserFolderPrefersApplicationSupportThenDocuments) {
  snprintf(g_AppNameLong, sizeof g_AppNameLong, "%s", "My Game");
  GetUserPath();
  std::string expected = tmp / "home/Library/Application Support/Brambleford/My Game/";
  EXPECT_EQ(std::string(g_UserPath), expected);
  EXPECT_TRUE(FileExists(expected));
  GetUserPath();  // a restart keeps the first choice
  EXPECT_EQ(std::string(g_UserPath), expected);

  // "Library" as a plain file makes the first candidate impossible.
  g_UserPath[0] = '\0';
  RemoveTree(tmp / "home/Library");
  WriteFile(tmp / "home/Library", "not a folder");
  GetUserPath();
  EXPECT_EQ(std::string(g_UserPath), tmp / "home/Documents/Brambleford/My Game/");
}

TEST_F(StateTest, UserFolderThatDoesNotFitIsSkipped) {
  // 255 characters of long name cannot make a path of 255 with the home in front.
  std::string long_name(250, 'n');
  snprintf(g_AppNameLong, sizeof g_AppNameLong, "%s", long_name.c_str());
  EXPECT_EXIT(GetUserPath(), ::testing::ExitedWithCode(0), "");
}

TEST_F(StateTest, LogNameBannersAndAppend) {
  struct NameCase {
    const char* exe;
    const char* log;
  };
  const NameCase names[] = {{"Game", "Game.txt"}, {"Game.exe", "Game.txt"}, {"Game.x", "Game.x.txt"}};
  for (const NameCase& c : names) {
    snprintf(g_UserPath, sizeof g_UserPath, "%s/", tmp.path().c_str());
    snprintf(g_AppFilename, sizeof g_AppFilename, "%s", c.exe);
    InitLog(0);
    Logf("[main] %s\n", "hello");
    CloseLog();
    std::string log = ReadFile(tmp / c.log);
    EXPECT_EQ(log.rfind("EXE LOG opened ", 0), 0u) << c.exe;
    EXPECT_NE(log.find("\n\n[main] hello\nEXE LOG closed "), std::string::npos) << log;
  }

  InitLog(1);
  InitLog(1);  // already open: writes nothing
  CloseLog();
  CloseLog();  // already closed: writes nothing
  std::string log = ReadFile(tmp / "Game.x.txt");
  EXPECT_NE(log.find("EXE LOG closed "), std::string::npos);
  size_t second = log.find("\n\n\n\nEXE LOG opened ");
  ASSERT_NE(second, std::string::npos) << log;
  // One closing banner per cycle: the second CloseLog wrote nothing.
  size_t first_close = log.find("EXE LOG closed ");
  EXPECT_LT(first_close, second);
  EXPECT_EQ(log.find("EXE LOG closed ", second), log.rfind("EXE LOG closed "));

  // A banner looks like "EXE LOG opened Friday December 11, 2026, 06:02:56 AM".
  std::string first_line = log.substr(0, log.find('\n'));
  EXPECT_TRUE(first_line.size() > 30 && (first_line.substr(first_line.size() - 2) == "AM" ||
                                         first_line.substr(first_line.size() - 2) == "PM"))
      << first_line;
}

TEST_F(StateTest, LogThatCannotBeOpenedLosesOnlyTheMessage) {
  snprintf(g_UserPath, sizeof g_UserPath, "%s/", (tmp / "missing").c_str());
  snprintf(g_AppFilename, sizeof g_AppFilename, "%s", "Game");
  EXPECT_EQ(Logf("[main] lost\n"), 0);
  MakeDirs(tmp / "missing");
  EXPECT_EQ(Logf("[main] kept\n"), 12);  // the next message opens it
  CloseLog();
  EXPECT_NE(ReadFile(tmp / "missing/Game.txt").find("[main] kept\n"), std::string::npos);
}

}  // namespace
