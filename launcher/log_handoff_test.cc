// The first cycle's log: kept as it is while the launch may still hand over
// to a running instance that writes the same file, started anew once the
// launch goes on to run the game.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

class LogKeepingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseLog();
    snprintf(saved_user_, sizeof saved_user_, "%s", g_UserPath);
    snprintf(saved_file_, sizeof saved_file_, "%s", g_AppFilename);
    snprintf(g_UserPath, sizeof g_UserPath, "%s/", tmp.path().c_str());
    snprintf(g_AppFilename, sizeof g_AppFilename, "%s", "Game");
    path = tmp / "Game.txt";
  }
  void TearDown() override {
    CloseLog();
    snprintf(g_UserPath, sizeof g_UserPath, "%s", saved_user_);
    snprintf(g_AppFilename, sizeof g_AppFilename, "%s", saved_file_);
  }

  TempDir tmp;
  std::string path;
  char saved_user_[256];
  char saved_file_[256];
};

const char kRunning[] = "EXE LOG opened by the running instance\n\n[main] Running\n";

TEST_F(LogKeepingTest, LaunchThatHandsOverOnlyAppends) {
  ASSERT_TRUE(WriteFile(path, kRunning));
  InitLogKeeping();
  Logf("[main] Orvan Initialized: %s\n", "Test Game");
  std::string log = ReadFile(path);
  ASSERT_EQ(log.rfind(kRunning, 0), 0u) << log;
  std::string mine = log.substr(sizeof kRunning - 1);
  EXPECT_EQ(mine.rfind("\n\n\n\nEXE LOG opened ", 0), 0u) << mine;
  EXPECT_NE(mine.find("\n\n[main] Orvan Initialized: Test Game\n"), std::string::npos) << mine;
}

TEST_F(LogKeepingTest, LaunchThatRunsTheGameStartsTheFileAnewWithItsOwnLines) {
  ASSERT_TRUE(WriteFile(path, kRunning));
  InitLogKeeping();
  Logf("[main] Orvan Initialized: %s\n", "Test Game");
  LogStartAnew();
  Logf("[main] Path: %s\n", "/somewhere");
  LogStartAnew();  // only once: the log is now an ordinary one
  std::string log = ReadFile(path);
  EXPECT_EQ(log.rfind("EXE LOG opened ", 0), 0u) << log;
  EXPECT_NE(log.find("\n\n[main] Orvan Initialized: Test Game\n[main] Path: /somewhere\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("running instance"), std::string::npos) << log;
}

TEST_F(LogKeepingTest, TooMuchToKeepLeavesTheOlderTextInPlace) {
  ASSERT_TRUE(WriteFile(path, kRunning));
  InitLogKeeping();
  const std::string line(3000, 'x');
  Logf("[main] %s\n", line.c_str());
  LogStartAnew();
  std::string log = ReadFile(path);
  EXPECT_EQ(log.rfind(kRunning, 0), 0u);
  EXPECT_NE(log.find("[main] " + line + "\n"), std::string::npos);
}

TEST_F(LogKeepingTest, NewFileStartsWithTheBanner) {
  InitLogKeeping();
  LogStartAnew();
  EXPECT_EQ(ReadFile(path).rfind("EXE LOG opened ", 0), 0u);
}

}  // namespace
