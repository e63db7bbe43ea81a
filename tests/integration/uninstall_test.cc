// "Game -Uninstall", run for real: the launcher executable with the test
// engine, questions answered on standard input (terminal backend) or by
// pressing keys in zenity's windows on a private Xvfb display (gui backend),
// and a recording xdg-open first in PATH.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/xserver.h"

using namespace orvan_test;

namespace {

const char kFirstQuestion[] =
    "Error: Test Game Uninstall\n\nAre you sure you want to remove Test Game from your "
    "computer?\n[OK/Cancel] ";
const char kPollQuestion[] =
    "Error: Test Game has succesfully been removed from your computer.\nWould you like to take "
    "an exit poll to tell us why you're uninstalling?\n[OK/Cancel] ";

// "%XX" back to bytes.
std::string PercentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = tmp / "home";
    bin = tmp / "bin";
    MakeDirs(home);
    MakeDirs(bin);
    calls = tmp / "calls.txt";
    game = MakeBundle(tmp.path(), "Game", ORVAN_LAUNCHER, ORVAN_TEST_ENGINE);
    // The address arrives as the opener's arguments, one per line; each
    // start leaves its own record.
    ASSERT_TRUE(WriteFile(bin + "/xdg-open",
                          "#!/bin/sh\n"
                          "f=\"" + tmp.path() + "/opened.$$\"\n"
                          "{ echo \"argc=$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                          " > \"$f.tmp\" && mv \"$f.tmp\" \"$f\"\n"));
    chmod((bin + "/xdg-open").c_str(), 0755);

    // What an installer leaves: files, a folder, files matching a pattern
    // outside the bundle, and the list.
    MakeDirs(game.resources + "/levels");
    MakeDirs(tmp / "saves");
    WriteFile(game.resources + "/data.pak", "x");
    WriteFile(game.resources + "/levels/one.lvl", "x");
    WriteFile(tmp / "saves/a.sav", "x");
    WriteFile(tmp / "saves/b.sav", "x");
    WriteFile(tmp / "saves/notes.txt", "x");
    WriteFile(game.resources + "/uninstall.log",
              "File:data.pak\nFile:levels/one.lvl\nFolder:levels\nPattern:" + tmp.path() +
                  "/saves:*.sav\nSelf:");
  }

  std::vector<std::string> Env(const std::vector<std::string>& extra) const {
    const char* path = getenv("PATH");
    std::vector<std::string> env = {"TE_LOG=" + calls, "PATH=" + bin + ":" + (path ? path : "")};
    env.insert(env.end(), extra.begin(), extra.end());
    return LaunchEnv(home, env);
  }

  ProcessResult Uninstall(const std::string& input, const std::vector<std::string>& extra = {},
                          const std::string& which = "-Uninstall") {
    std::vector<std::string> env = {"ORVAN_DIALOG=terminal"};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunProcess({game.exe, "extra", which, "-more"}, Env(env), input);
  }

  bool Removed() const {
    return !FileExists(game.resources + "/data.pak") && !FileExists(game.resources + "/levels") &&
           !FileExists(tmp / "saves/a.sav") && !FileExists(tmp / "saves/b.sav") &&
           FileExists(tmp / "saves/notes.txt") && !FileExists(game.resources + "/uninstall.log") &&
           FileExists(game.resources + "/zizuzo.so");
  }
  bool Untouched() const {
    return FileExists(game.resources + "/data.pak") && FileExists(game.resources + "/levels/one.lvl") &&
           FileExists(tmp / "saves/a.sav") && FileExists(tmp / "saves/b.sav") &&
           FileExists(game.resources + "/uninstall.log");
  }

  std::vector<std::string> Openings() const {
    std::vector<std::string> out;
    if (DIR* d = opendir(tmp.path().c_str())) {
      while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.rfind("opened.", 0) == 0 && n.find(".tmp") == std::string::npos) {
          out.push_back(ReadFile(tmp / n));
        }
      }
      closedir(d);
    }
    return out;
  }
  // The one start of the opener, waited for.
  std::vector<std::string> OpenerArguments() const {
    EXPECT_TRUE(WaitFor([&] { return !Openings().empty(); }, 20000));
    std::vector<std::string> o = Openings();
    EXPECT_EQ(o.size(), 1u);
    return o.empty() ? std::vector<std::string>() : SplitLines(o[0]);
  }
  std::string PollAddress(const std::string& from, int build) const {
    return std::string(ORVAN_VENDOR_SITE) + "/uninstallpoll.html?From=" + from +
           "&Build=" + std::to_string(build);
  }

  std::string Log() const {
    return ReadFile(home + "/Library/Application Support/Brambleford/Test Game/Game.txt");
  }
  std::vector<std::string> Calls() const { return SplitLines(ReadFile(calls)); }

  TempDir tmp;
  std::string home, bin, calls;
  Bundle game;
};

TEST_F(UninstallTest, TerminalAnswersRemoveAndDeclineThePoll) {
  ProcessResult r = Uninstall("y\nn\n");
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, std::string(kFirstQuestion) + "\n" + kPollQuestion + "\n");
  EXPECT_TRUE(Removed());
  // The engine told its names and was never asked to create the game.
  EXPECT_EQ(Calls(), std::vector<std::string>{"vokGetAppName"});
  std::string log = Log();
  EXPECT_NE(log.find("[main] Orvan Initialized: Test Game\n[main] Uninstalling\nEXE LOG closed "),
            std::string::npos)
      << log;
  // Give a wrongly started opener every chance to show up: start ours and
  // wait for it; the launcher had ended before.
  ProcessResult probe = RunProcess({bin + "/xdg-open", "probe"}, Env({}));
  ASSERT_TRUE(probe.exited);
  std::vector<std::string> openings = Openings();
  EXPECT_EQ(openings, std::vector<std::string>{"argc=1\nprobe\n"});
}

TEST_F(UninstallTest, TerminalOkOpensTheExitPoll) {
  ProcessResult r = Uninstall("yes\nOK\n");
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Removed());
  std::vector<std::string> expected = {"argc=1", PollAddress("test-game", 7)};
  EXPECT_EQ(OpenerArguments(), expected);
}

TEST_F(UninstallTest, CancelTouchesNothing) {
  for (const char* input : {"n\n", ""}) {  // an answer, and end of input
    ProcessResult r = Uninstall(input);
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, std::string(kFirstQuestion) + "\n");
    EXPECT_TRUE(Untouched());
    std::string log = Log();
    EXPECT_EQ(log.find("Uninstalling"), std::string::npos) << log;
    EXPECT_EQ(log.find("EXE LOG closed"), std::string::npos) << log;
  }
  EXPECT_TRUE(Openings().empty());
}

TEST_F(UninstallTest, OtherLetterCaseRunsTheGame) {
  ProcessResult r = Uninstall("y\ny\n", {}, "-uninstall");
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(Untouched());
  std::vector<std::string> c = Calls();
  EXPECT_NE(std::find(c.begin(), c.end(), "vokRun"), c.end());
}

// The identifier comes from the engine. Shell characters in it reach the
// opener inside one percent-encoded argument, and nothing runs them.
TEST_F(UninstallTest, IdentifierWithShellCharactersStaysOneArgument) {
  const std::string marker = tmp / "pwned";
  const std::string id = "x; touch " + marker + " 'q' \"d\" $(touch " + marker + ") &b=1#f";
  ProcessResult r = Uninstall("y\ny\n", {"TE_APPID=" + id, "TE_BUILD=-3"});
  ASSERT_TRUE(r.exited) << r.err;
  std::vector<std::string> args = OpenerArguments();
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0], "argc=1");
  const std::string prefix = PollAddress("", -3).substr(0, PollAddress("", -3).find("&Build"));
  ASSERT_EQ(args[1].rfind(prefix, 0), 0u) << args[1];
  ASSERT_EQ(args[1].size() - args[1].find("&Build=-3"), 9u) << args[1];
  std::string from = args[1].substr(prefix.size(), args[1].size() - prefix.size() - 9);
  EXPECT_EQ(from.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
            std::string::npos)
      << from;
  EXPECT_EQ(PercentDecode(from), id);
  EXPECT_FALSE(FileExists(marker));
}

// While another instance runs, the command line is handed over before any
// question: nothing is asked, read or removed.
TEST_F(UninstallTest, RunningInstanceTakesTheCommandLine) {
  const std::string done = tmp / "done";
  pid_t first = StartProcess({game.exe}, Env({"TE_RUN=wait:" + done}));
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitFor([&] {
    std::vector<std::string> c = Calls();
    return std::find(c.begin(), c.end(), "vokRun") != c.end();
  }));
  ProcessResult r = Uninstall("y\ny\n");
  WriteFile(done, "");
  WaitProcess(first);
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(Untouched());
}

// --- zenity on a private Xvfb display ------------------------------------------

class GuiUninstallTest : public UninstallTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "zenity", "xdotool"}) {
      if (FindProgram(tool).empty()) GTEST_SKIP() << tool << " is not installed (Debian: xvfb, zenity, xdotool)";
    }
    UninstallTest::SetUp();
    xserver = std::make_unique<XServer>(FindProgram("Xvfb"), tmp / "xvfb.log");
    display = xserver->display();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start: " << ReadFile(tmp / "xvfb.log");
  }

  void TearDown() override {
    if (launcher > 0) WaitProcess(launcher, 1000);  // killed if still running
    xserver.reset();
  }

  std::vector<std::string> GuiEnv() const {
    return Env({"ORVAN_DIALOG=gui", "DISPLAY=" + display, "NO_AT_BRIDGE=1",
                "DBUS_SESSION_BUS_ADDRESS=disabled:"});
  }

  ProcessResult Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {FindProgram("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, GuiEnv(), "", 10000);
  }

  // Waits for a visible window titled exactly "Error" owned by a process not
  // in `seen` (window ids are reused once a client has gone), and returns it.
  std::string NextDialog(std::set<std::string>* seen) const {
    std::string found, owner;
    WaitFor(
        [&] {
          ProcessResult r = Xdotool({"search", "--onlyvisible", "--name", "^Error$"});
          for (const std::string& id : SplitLines(r.out)) {
            std::string pid = WindowPid(id);
            if (!id.empty() && !pid.empty() && seen->count(pid) == 0) {
              found = id;
              owner = pid;
            }
          }
          return !found.empty();
        },
        20000);
    if (!owner.empty()) seen->insert(owner);
    return found;
  }

  std::string WindowPid(const std::string& window) const {
    std::vector<std::string> lines = SplitLines(Xdotool({"getwindowpid", window}).out);
    return lines.empty() ? "" : lines[0];
  }

  // The command line of the process that owns the window.
  std::vector<std::string> DialogCommand(const std::string& window) const {
    std::string raw = ReadFile("/proc/" + WindowPid(window) + "/cmdline");
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = raw.find('\0', start)) != std::string::npos; start = at + 1) {
      out.push_back(raw.substr(start, at - start));
    }
    return out;
  }

  void Press(const std::string& window, const char* key) const {
    EXPECT_TRUE(Xdotool({"windowfocus", "--sync", window}).exited);
    EXPECT_EQ(Xdotool({"key", "--clearmodifiers", key}).exit_code, 0);
  }

  std::unique_ptr<XServer> xserver;
  pid_t launcher = -1;
  std::string display;
};

// Escape is Cancel and Return the default button, OK.
TEST_F(GuiUninstallTest, ZenityQuestionsAnsweredWithTheKeyboard) {
  std::set<std::string> seen;
  launcher = StartProcess({game.exe, "-Uninstall"}, GuiEnv(), tmp / "out.txt", tmp / "err.txt");
  ASSERT_GT(launcher, 0);
  std::string first = NextDialog(&seen);
  ASSERT_FALSE(first.empty()) << ReadFile(tmp / "err.txt");
  std::vector<std::string> expected = {
      "zenity", "--question", "--title=Error", "--no-markup",
      "--text=Test Game Uninstall\n\nAre you sure you want to remove Test Game from your computer?",
      "--ok-label=OK", "--cancel-label=Cancel"};
  EXPECT_EQ(DialogCommand(first), expected);
  Press(first, "Escape");
  ProcessResult r = WaitProcess(launcher, 20000);
  launcher = -1;
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Untouched());

  launcher = StartProcess({game.exe, "-Uninstall"}, GuiEnv(), tmp / "out.txt", tmp / "err.txt");
  ASSERT_GT(launcher, 0);
  std::string again = NextDialog(&seen);
  ASSERT_FALSE(again.empty()) << ReadFile(tmp / "err.txt");
  Press(again, "Return");
  std::string poll = NextDialog(&seen);
  ASSERT_FALSE(poll.empty()) << ReadFile(tmp / "err.txt");
  EXPECT_TRUE(Removed());
  std::vector<std::string> command = DialogCommand(poll);
  ASSERT_EQ(command.size(), 7u);
  EXPECT_EQ(command[4].rfind("--text=Test Game has succesfully been removed", 0), 0u) << command[4];
  Press(poll, "Return");
  r = WaitProcess(launcher, 20000);
  launcher = -1;
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::string> opened = {"argc=1", PollAddress("test-game", 7)};
  EXPECT_EQ(OpenerArguments(), opened);
}

}  // namespace
