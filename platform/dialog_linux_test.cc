// The dialog backends, with fake zenity and kdialog programs that record
// their arguments, and standard input and error replaced by pipes, files
// and a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

// Sets (or, with null, removes) an environment variable for its lifetime.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvVar() {
    if (had_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_, old_;
  bool had_;
};

// Puts `replacement` in place of descriptor `fd` (-1: closes it) until the
// object goes away.
class FdSwap {
 public:
  FdSwap(int fd, int replacement) : fd_(fd), saved_(dup(fd)) {
    if (replacement >= 0) {
      dup2(replacement, fd);
      close(replacement);
    } else {
      close(fd);
    }
  }
  ~FdSwap() {
    dup2(saved_, fd_);
    close(saved_);
  }

 private:
  int fd_, saved_;
};

int PipeWith(const std::string& input) {
  int p[2];
  if (pipe(p) != 0) return -1;
  if (write(p[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) return -1;
  close(p[1]);
  return p[0];
}

std::string ReadRest(int fd) {
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}

// One dialog with standard input `input` and standard error captured.
struct Shown {
  int answer;
  std::string err;
  std::string leftOnInput;  // what the dialog did not read
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin = tmp / "bin";
    MakeDirs(bin);
  }

  // A fake tool that records its arguments (zero-separated) and the locale
  // variables it was given, writes $FAKE_STDERR on standard error and ends
  // with $FAKE_STATUS.
  void FakeTool(const char* name) {
    std::string path = bin + "/" + name;
    ASSERT_TRUE(WriteFile(path,
                          "#!/bin/sh\n"
                          "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"" + tmp.path() + "/args\"\n"
                          "printf '%s|%s' \"$LC_ALL\" \"$LC_CTYPE\" > \"" + tmp.path() + "/locale\"\n"
                          "printf '%s' \"$FAKE_STDERR\" >&2\n"
                          "exit ${FAKE_STATUS:-0}\n"));
    chmod(path.c_str(), 0755);
  }

  std::vector<std::string> ToolArguments() {
    std::string raw = ReadFile(tmp / "args");
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = raw.find('\0', start)) != std::string::npos; start = at + 1) {
      out.push_back(raw.substr(start, at - start));
    }
    return out;
  }
  bool ToolRan() { return FileExists(tmp / "args"); }

  Shown Show(int kind, const char* text, const std::string& input) {
    int in = input == "<closed>" ? -1 : PipeWith(input);
    return ShowWithStdin(kind, text, in);
  }

  Shown ShowWithStdin(int kind, const char* text, int in) {
    std::string errPath = tmp / "stderr";
    int err = open(errPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    Shown shown;
    {
      FdSwap swapErr(2, err);  // first: with 0 closed, dup() would hand out 0
      FdSwap swapIn(0, in);
      shown.answer = PlatformShowDialog(kind, "Error", text);
      fflush(stderr);
      if (fcntl(0, F_GETFD) != -1) {
        fcntl(0, F_SETFL, O_NONBLOCK);
        shown.leftOnInput = ReadRest(0);
      }
    }
    shown.err = ReadFile(errPath);
    return shown;
  }

  TempDir tmp;
  std::string bin;
  EnvVar path{"PATH", nullptr};  // replaced in each test
};

TEST_F(DialogTest, GuiRunsZenityWithTheTextVerbatim) {
  FakeTool("zenity");
  EnvVar p("PATH", bin.c_str());
  EnvVar d("ORVAN_DIALOG", "gui");
  const char* text = "-x <b>not bold</b> & 100%\nline two";

  Shown ok = Show(kPlatformQuestion, text, "");
  EXPECT_EQ(ok.answer, 1);
  std::vector<std::string> question = {"--question", "--title=Error", "--no-markup",
                                       std::string("--text=") + text, "--ok-label=OK",
                                       "--cancel-label=Cancel"};
  EXPECT_EQ(ToolArguments(), question);

  EnvVar status("FAKE_STATUS", "1");
  EXPECT_EQ(Show(kPlatformQuestion, text, "").answer, 0);  // Cancel
  EXPECT_EQ(Show(kPlatformAlert, text, "").answer, 1);     // closed is dismissed
  std::vector<std::string> alert = {"--error", "--title=Error", "--no-markup",
                                    std::string("--text=") + text};
  EXPECT_EQ(ToolArguments(), alert);
}

TEST_F(DialogTest, GuiGetsUtf8AndLatin1BytesConverted) {
  FakeTool("zenity");
  EnvVar p("PATH", bin.c_str());
  EnvVar d("ORVAN_DIALOG", "gui");
  EnvVar all("LC_ALL", "C");
  Show(kPlatformAlert, "caf\xe9 \xc3\xa9 \xff \xe2\x82\xac \xed\xa0\x80 \xc0\xaf \xe0\x80\xaf", "");
  std::vector<std::string> args = ToolArguments();
  ASSERT_EQ(args.size(), 4u);
  // Valid UTF-8 stays; é, ÿ and the bytes of a surrogate and of overlong
  // forms become the Latin-1 characters of their values.
  EXPECT_EQ(args[3],
            "--text=caf\xc3\xa9 \xc3\xa9 \xc3\xbf \xe2\x82\xac \xc3\xad\xc2\xa0\xc2\x80 "
            "\xc3\x80\xc2\xaf \xc3\xa0\xc2\x80\xc2\xaf");
  // In the "C" locale GTK would refuse the text: the tool runs in UTF-8.
  EXPECT_EQ(ReadFile(tmp / "locale"), "|C.UTF-8");
}

TEST_F(DialogTest, GuiFallsBackToKdialog) {
  FakeTool("kdialog");
  EnvVar p("PATH", bin.c_str());
  EnvVar d("ORVAN_DIALOG", "gui");
  EXPECT_EQ(Show(kPlatformQuestion, "sure?", "").answer, 1);
  std::vector<std::string> question = {"--title", "Error",       "--yesno",  "sure?",
                                       "--yes-label", "OK", "--no-label", "Cancel"};
  EXPECT_EQ(ToolArguments(), question);
  Show(kPlatformAlert, "failed", "");
  std::vector<std::string> alert = {"--title", "Error", "--error", "failed"};
  EXPECT_EQ(ToolArguments(), alert);
}

// A tool that fails (an unknown option, no display) hands the dialog on:
// standard input is a pipe, not a terminal, so to the none backend.
TEST_F(DialogTest, GuiThatCannotShowFallsBack) {
  FakeTool("zenity");
  EnvVar p("PATH", bin.c_str());
  EnvVar d("ORVAN_DIALOG", "gui");
  {
    EnvVar status("FAKE_STATUS", "255");
    Shown s = Show(kPlatformQuestion, "sure?", "y\n");
    EXPECT_EQ(s.answer, 0);
    EXPECT_EQ(s.err, "Error: sure?\n");
    EXPECT_EQ(s.leftOnInput, "y\n");
  }
  {
    EnvVar status("FAKE_STATUS", "1");
    EnvVar msg("FAKE_STDERR", "(zenity:1): Gtk-WARNING **: cannot open display: :99\n");
    Shown s = Show(kPlatformAlert, "it broke", "");
    EXPECT_EQ(s.answer, 1);
    EXPECT_EQ(s.err, "(zenity:1): Gtk-WARNING **: cannot open display: :99\nError: it broke\n");
  }
  {
    EnvVar none("PATH", (tmp / "empty").c_str());  // no tool at all
    EXPECT_EQ(Show(kPlatformAlert, "it broke", "").err, "Error: it broke\n");
  }
}

struct AnswerCase {
  const char* input;
  int answer;
};

TEST_F(DialogTest, TerminalReadsOneLineAsTheAnswer) {
  EnvVar d("ORVAN_DIALOG", "terminal");
  const AnswerCase cases[] = {
      {"y\n", 1},        {"Y\n", 1},      {"ok\n", 1},    {"OK\r\n", 1},  {"o\n", 1},
      {"yEs\n", 1},      {"  yes \t\n", 1}, {"y", 1},     {"n\n", 0},     {"\n", 0},
      {"okay\n", 0},     {"yess\n", 0},   {"", 0},        {"no\ny\n", 0},
      {"cancel\n", 0},   {"y y\n", 0},
  };
  for (const AnswerCase& c : cases) {
    Shown s = Show(kPlatformQuestion, "Remove it?", c.input);
    EXPECT_EQ(s.answer, c.answer) << "input \"" << c.input << "\"";
    EXPECT_EQ(s.err.rfind("Error: Remove it?\n[OK/Cancel] ", 0), 0u) << s.err;
  }
  EXPECT_EQ(Show(kPlatformQuestion, "q", "y" + std::string(200, ' ') + "\n").answer, 1);
  EXPECT_EQ(Show(kPlatformQuestion, "q", std::string(200, 'y') + "\n").answer, 0);
}

// Questions share one pipe: each takes its own line and nothing more.
TEST_F(DialogTest, TerminalTakesOneLinePerDialog) {
  EnvVar d("ORVAN_DIALOG", "terminal");
  int in = PipeWith("\ny\nn\nrest\n");
  std::string errPath = tmp / "stderr";
  int err = open(errPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  FdSwap swapIn(0, in);
  FdSwap swapErr(2, err);
  EXPECT_EQ(PlatformShowDialog(kPlatformAlert, "Error", "first"), 1);
  EXPECT_EQ(PlatformShowDialog(kPlatformQuestion, "Error", "second"), 1);
  EXPECT_EQ(PlatformShowDialog(kPlatformQuestion, "Error", "third"), 0);
  fcntl(0, F_SETFL, O_NONBLOCK);
  EXPECT_EQ(ReadRest(0), "rest\n");
  fflush(stderr);
  EXPECT_EQ(ReadFile(errPath),
            "Error: first\n[OK] \nError: second\n[OK/Cancel] \nError: third\n[OK/Cancel] \n");
}

TEST_F(DialogTest, TerminalWithoutInput) {
  EnvVar d("ORVAN_DIALOG", "terminal");
  Shown eof = Show(kPlatformAlert, "gone", "");
  EXPECT_EQ(eof.answer, 1);
  EXPECT_EQ(eof.err, "Error: gone\n[OK] \n");
  Shown closed = Show(kPlatformQuestion, "sure?", "<closed>");  // nobody can answer
  EXPECT_EQ(closed.answer, 0);
  EXPECT_EQ(closed.err, "Error: sure?\n");
}

TEST_F(DialogTest, NoneNeverReadsInput) {
  EnvVar d("ORVAN_DIALOG", "none");
  Shown q = Show(kPlatformQuestion, "sure?", "y\n");
  EXPECT_EQ(q.answer, 0);
  EXPECT_EQ(q.err, "Error: sure?\n");
  EXPECT_EQ(q.leftOnInput, "y\n");
  EXPECT_EQ(Show(kPlatformAlert, "note", "y\n").answer, 1);
}

TEST_F(DialogTest, AutomaticChoice) {
  FakeTool("zenity");
  EnvVar p("PATH", bin.c_str());
  EnvVar d("ORVAN_DIALOG", nullptr);
  EnvVar x("DISPLAY", nullptr);
  EnvVar w("WAYLAND_DISPLAY", nullptr);

  // No display, input from a pipe: none.
  Shown s = Show(kPlatformQuestion, "sure?", "y\n");
  EXPECT_EQ(s.answer, 0);
  EXPECT_EQ(s.leftOnInput, "y\n");
  EXPECT_FALSE(ToolRan());

  // No display, input from a terminal: terminal.
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  ASSERT_EQ(write(master, "y\n", 2), 2);
  {
    std::string errPath = tmp / "stderr";
    FdSwap swapIn(0, slave);
    FdSwap swapErr(2, open(errPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
    EXPECT_EQ(PlatformShowDialog(kPlatformQuestion, "Error", "sure?"), 1);
  }
  close(master);
  EXPECT_FALSE(ToolRan());

  // A display and a tool: gui, under X11 and Wayland alike.
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    EnvVar set(var, ":99");
    EXPECT_EQ(Show(kPlatformQuestion, "sure?", "").answer, 1) << var;
    EXPECT_TRUE(ToolRan()) << var;
    unlink((tmp / "args").c_str());
  }
}

int Refuse(int, const char*, const char*) { return 7; }

TEST_F(DialogTest, OverrideReplacesTheBackend) {
  EnvVar d("ORVAN_DIALOG", "none");
  PlatformSetDialogOverride(Refuse);
  EXPECT_EQ(PlatformShowDialog(kPlatformQuestion, "Error", "x"), 7);
  PlatformSetDialogOverride(nullptr);
  EXPECT_EQ(Show(kPlatformQuestion, "x", "").answer, 0);
}

}  // namespace
