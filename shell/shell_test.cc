#include "shell/shell.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

TEST(ArgumentRule, DropsEverythingFromTheDesktopsLaunchArgumentOn) {
  struct Case {
    std::vector<std::string> args;
    int argc;
    int finderLaunch;
  };
  const Case cases[] = {
      {{"/G/Game", "-psn_0_12345", "-Uninstall"}, 1, 1},  // no uninstall then
      {{"/G/Game", "-psnx"}, 1, 1},                      // four characters compared
      {{"/G/Game", "-psn"}, 1, 1},
      {{"/G/Game", "-ps"}, 2, 0},
      {{"/G/Game", "-PSN_0_1"}, 2, 0},
      {{"/G/Game", "-Uninstall", "-psn_0_1"}, 3, 0},  // only the first is tested
      {{"/G/Game", ""}, 2, 0},
      {{"/G/Game"}, 1, 0},
  };
  for (const Case& c : cases) {
    Args args(c.args);
    ShellArguments got = ApplyArgumentRule(args.argc(), args.argv());
    std::string shown = c.args.size() > 1 ? c.args[1] : "(none)";
    EXPECT_EQ(got.argc, c.argc) << "first argument " << shown;
    EXPECT_EQ(got.finderLaunch, c.finderLaunch) << "first argument " << shown;
    EXPECT_EQ(got.argv, args.argv()) << "the vector is handed on, not copied";
  }
}

TEST(ExecutablePathRule, TrustsOnlyAnAbsolutePathToTheFileItself) {
  TempDir tmp;
  ASSERT_TRUE(WriteFile(tmp / "Game", "x"));
  ASSERT_EQ(symlink((tmp / "Game").c_str(), (tmp / "game").c_str()), 0);
  struct Case {
    const char* argv0;
    int needed;
  };
  std::string real = tmp / "Game";
  std::string link = tmp / "game";
  std::string missing = tmp / "Gone";
  const Case cases[] = {
      {real.c_str(), 0},     {missing.c_str(), 0}, {link.c_str(), 1}, {"game", 1},
      {"./Game", 1},         {"MacOS/Game", 1},    {"", 1},           {nullptr, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NeedsExecutablePath(c.argv0), c.needed) << (c.argv0 ? c.argv0 : "(null)");
  }
}

TEST(ApplicationName, BundleNameElseProcessName) {
  struct Case {
    const char* bundle;
    const char* process;
    const char* name;
  };
  const Case cases[] = {
      {"Brambles", "Game", "Brambles"},
      {"", "Game", "Game"},
      {nullptr, "Game", "Game"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    char out[256];
    ApplicationName(c.bundle, c.process, out, sizeof out);
    EXPECT_STREQ(out, c.name);
  }
  char out[8];
  ApplicationName(nullptr, "A Very Long Name", out, sizeof out);
  EXPECT_STREQ(out, "A Very ");
}

TEST(ApplicationMenu, HoldsTheFiveEntriesAndNoWindowMenu) {
  ShellMenuBar bar;
  InitMenuBar(&bar);
  EXPECT_EQ(bar.count, 0);
  EXPECT_EQ(bar.applicationMenu, -1);
  SetApplicationMenu(&bar, "Game");

  ASSERT_EQ(bar.count, 1) << "the application menu alone: no Window menu";
  ASSERT_EQ(bar.applicationMenu, 0);
  EXPECT_STREQ(bar.items[0].title, "");
  EXPECT_EQ(bar.items[0].action, nullptr);
  EXPECT_STREQ(bar.items[0].keyEquivalent, "");

  const ShellMenu& menu = bar.menus[0];
  EXPECT_STREQ(menu.title, "");
  struct Entry {
    const char* title;
    const char* action;
    const char* key;
    unsigned int mask;
    int separator;
  };
  const Entry expected[] = {
      {"Hide Game", "hide:", "h", NSCommandKeyMask, 0},
      {"Hide Others", "hideOtherApplications:", "h", NSAlternateKeyMask | NSCommandKeyMask, 0},
      {"Show All", "unhideAllApplications:", "", NSCommandKeyMask, 0},
      {"", nullptr, "", 0, 1},
      {"Quit Game", "terminate:", "q", NSCommandKeyMask, 0},
  };
  ASSERT_EQ(menu.count, 5);
  for (int i = 0; i < 5; ++i) {
    const ShellMenuItem& item = menu.items[i];
    const Entry& e = expected[i];
    EXPECT_STREQ(item.title, e.title) << "entry " << i + 1;
    if (e.action == nullptr) {
      EXPECT_EQ(item.action, nullptr) << "entry " << i + 1;
    } else {
      EXPECT_STREQ(item.action, e.action) << "entry " << i + 1;
    }
    EXPECT_STREQ(item.keyEquivalent, e.key) << "entry " << i + 1;
    EXPECT_EQ(item.modifierMask, e.mask) << "entry " << i + 1;
    EXPECT_EQ(item.isSeparator, e.separator) << "entry " << i + 1;
  }
  EXPECT_EQ(NSAlternateKeyMask | NSCommandKeyMask, (1u << 19) | (1u << 20));
}

TEST(ApplicationMenu, ALongNameStaysInsideTheTitles) {
  ShellMenuBar bar;
  InitMenuBar(&bar);
  std::string name(255, 'n');
  SetApplicationMenu(&bar, name.c_str());
  EXPECT_EQ(std::string(bar.menus[0].items[0].title), "Hide " + name);
  EXPECT_EQ(std::string(bar.menus[0].items[4].title), "Quit " + name);
}

TEST(OpenFileMessage, KeepsAtMost246BytesOfThePath) {
  char out[256];
  EXPECT_EQ(ComposeOpenFileMessage("/home/u/saves/one.sav", out, sizeof out), 1);
  EXPECT_STREQ(out, "OpenFile|/home/u/saves/one.sav");

  std::string path = "/" + std::string(299, 'p');
  path[150] = '/';
  EXPECT_EQ(ComposeOpenFileMessage(path.c_str(), out, sizeof out), 0);
  EXPECT_EQ(std::string(out), "OpenFile|" + path.substr(0, 246));
  EXPECT_EQ(strlen(out), 255u);

  std::string exact(246, 'e');
  EXPECT_EQ(ComposeOpenFileMessage(exact.c_str(), out, sizeof out), 1);
  EXPECT_EQ(std::string(out), "OpenFile|" + exact);
}

// Runs with no engine bound, as before the first launch cycle.
class OpenFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = vokSendIPC;
    vokSendIPC = nullptr;
    g_sDelayedIPC[0] = '\0';
  }
  void TearDown() override {
    vokSendIPC = saved_;
    g_sDelayedIPC[0] = '\0';
  }
  int (*saved_)(const char*);
};

TEST_F(OpenFileTest, AnswersYesAndTheLaterFileReplacesTheHeldOne) {
  EXPECT_EQ(ShellOpenFile("/saves/first.sav"), 1);
  EXPECT_STREQ(g_sDelayedIPC, "OpenFile|/saves/first.sav");
  EXPECT_EQ(ShellOpenFile("/saves/second.sav"), 1);
  EXPECT_STREQ(g_sDelayedIPC, "OpenFile|/saves/second.sav");

  std::string path(300, 'q');
  EXPECT_EQ(ShellOpenFile(path.c_str()), 1);
  EXPECT_EQ(std::string(g_sDelayedIPC), "OpenFile|" + path.substr(0, 246));
}

// The whole launch in a child process, so that this one keeps its working
// directory and has no engine loaded: two files opened before launching, and
// only the second reaches the engine, right after it has created the game.
TEST_F(OpenFileTest, HeldFileReachesTheEngineAfterItCreatedTheGame) {
  TempDir tmp;
  std::string home = tmp / "home";
  MakeDirs(home);
  std::string calls = tmp / "calls.txt";
  Bundle game = MakeBundle(tmp.path(), "Game", "", ORVAN_TEST_ENGINE);

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    for (const std::string& item : LaunchEnv(home, {"TE_LOG=" + calls})) {
      size_t eq = item.find('=');
      setenv(item.substr(0, eq).c_str(), item.substr(eq + 1).c_str(), 1);
    }
    ShellOpenFile("/saves/first.sav");
    ShellOpenFile("/saves/second.sav");
    std::string exe = game.exe;
    char* argv[] = {exe.data(), nullptr};
    _exit(SDL_main(1, argv));  // _exit: this child must not run the test's exit handlers
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  std::vector<std::string> lines = SplitLines(ReadFile(calls));
  auto at = [&](const std::string& line) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  };
  int created = at("vokCreate argc=1");
  int delivered = at("vokSendIPC OpenFile|/saves/second.sav");
  int run = at("vokRun");
  ASSERT_GE(created, 0) << ReadFile(calls);
  EXPECT_GT(delivered, created);
  EXPECT_GT(run, delivered);
  EXPECT_EQ(ReadFile(calls).find("first.sav"), std::string::npos);
  std::string log = ReadFile(home + "/Library/Application Support/Brambleford/Test Game/Game.txt");
  EXPECT_NE(log.find("[SendIPC] OpenFile|/saves/second.sav\n"), std::string::npos) << log;
}

TEST(StringByReplacingRange, ReplacesWithinAndRefusesOutside) {
  struct Case {
    const char* text;
    int location;
    int length;
    const char* with;
    int ok;
    const char* result;
  };
  const Case cases[] = {
      {"Hide Game", 5, 4, "Orvan", 1, "Hide Orvan"},
      {"abc", 0, 0, "x", 1, "xabc"},
      {"abc", 3, 0, "x", 1, "abcx"},  // the end of the text is inside
      {"abc", 1, 1, "", 1, "ac"},
      {"abc", 0, 3, "", 1, ""},
      {"abc", 4, 0, "x", 0, ""},
      {"abc", 2, 2, "x", 0, ""},
      {"abc", -1, 1, "x", 0, ""},
      {"abc", 1, -1, "x", 0, ""},
      {"abc", 1, 2147483647, "x", 0, ""},
  };
  for (const Case& c : cases) {
    char out[32];
    memset(out, '#', sizeof out);
    EXPECT_EQ(StringByReplacingRange(c.text, c.location, c.length, c.with, out, sizeof out), c.ok)
        << c.text << " at " << c.location << " length " << c.length;
    EXPECT_STREQ(out, c.result) << c.text << " at " << c.location << " length " << c.length;
  }
  char small[4];
  EXPECT_EQ(StringByReplacingRange("abc", 0, 0, "xy", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

// The quit translation with the real media layer on its dummy video driver.
class QuitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(PlatformWatchQuitRequests(ShellTerminate), 1);
    PlatformAcceptQuitRequests(0);
  }
  void TearDown() override {
    PlatformAcceptQuitRequests(0);
    SDL_Quit();
  }
  // Quit events now in the queue; the queue is left empty.
  static int DrainQuits() {
    int quits = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) ++quits;
    }
    return quits;
  }
  static bool Send(int sig) {
    int before = PlatformQuitRequestCount();
    raise(sig);
    return WaitFor([&] { return PlatformQuitRequestCount() > before; });
  }
};

TEST_F(QuitTest, TerminateLeavesOneQuitEventAndIsHarmlessWithoutTheMediaLayer) {
  ShellTerminate();  // media layer down: the event is refused and lost
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  EXPECT_EQ(DrainQuits(), 0);
  ShellTerminate();
  EXPECT_EQ(DrainQuits(), 1);
}

TEST_F(QuitTest, EverySignalBecomesExactlyOneQuitEvent) {
  // As the launch cycle does it: a request before the media layer is up is
  // held, and reaches the queue once the media layer is there.
  ASSERT_TRUE(Send(SIGTERM));
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  PlatformAcceptQuitRequests(1);
  EXPECT_EQ(DrainQuits(), 1);

  // While it is up, neither SDL's own handlers nor ours add a second event.
  ASSERT_TRUE(Send(SIGTERM));
  ASSERT_TRUE(Send(SIGINT));
  ASSERT_TRUE(Send(SIGHUP));
  EXPECT_EQ(DrainQuits(), 3);
  EXPECT_EQ(DrainQuits(), 0);
}

}  // namespace
