// The demo game as built (build/OrvanDemo.app): headless runs, the clean end
// on SIGTERM, and a real window under Xvfb: a screenshot that must show the
// game (kept as build/test-artifacts/demo.png), R for a restart in the same
// process and Escape to quit.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/xserver.h"

using namespace orvan_test;

namespace {

const std::string kApp = std::string(ORVAN_BINARY_DIR) + "/OrvanDemo.app";
const std::string kExe = kApp + "/Contents/MacOS/OrvanDemo";

// For runs of the demo, which opens a window: SDL2 is unloaded before the
// sanitizer's leak check runs, so the window's buffers that it still holds at
// exit show up as leaks from an unknown module, which no suppression can
// name. The launcher's own leaks are checked by the runs with the test
// engine, which opens no window.
std::string WithoutLeakCheck() {
  const char* current = getenv("ASAN_OPTIONS");
  std::string options = current != nullptr && *current != '\0' ? std::string(current) + ":" : "";
  return "ASAN_OPTIONS=" + options + "detect_leaks=0";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = tmp / "home";
    MakeDirs(home);
    out = tmp / "out.txt";
    ASSERT_TRUE(FileExists(kExe)) << "build the project (the OrvanDemo_bundle target) first";
  }

  std::string Log() const {
    return ReadFile(home + "/Library/Application Support/Brambleford/Orvan Demo/OrvanDemo.txt");
  }
  std::string Out() const { return ReadFile(out); }

  TempDir tmp;
  std::string home;
  std::string out;
};

TEST_F(DemoTest, HeadlessRunEndsAfterItsFramesAndReportsItsNames) {
  ProcessResult r = RunProcess({kExe, "-frames", "30"}, LaunchEnv(home, {WithoutLeakCheck()}));
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Contains(r.out, "Orvan Demo: cycle 1 on screen")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Orvan Demo: cycle 1 ends\n")) << r.out;
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "[main] AppName: Orvan Demo  (OrvanDemo)\n")) << log;
  EXPECT_TRUE(Contains(log, "[main] Path: " + kApp + "/Contents/Resources\n")) << log;
  EXPECT_TRUE(Contains(log, "[main] Exiting\n")) << log;
}

TEST_F(DemoTest, SigtermEndsTheGameCleanly) {
  pid_t pid = StartProcess({kExe}, LaunchEnv(home, {WithoutLeakCheck()}), out);
  ASSERT_GT(pid, 0);
  bool on_screen = WaitFor([&] { return Contains(Out(), "on screen"); }, 20000);
  kill(pid, SIGTERM);
  ProcessResult r = WaitProcess(pid, 20000);
  ASSERT_TRUE(on_screen) << Out();
  ASSERT_TRUE(r.exited) << "signal " << r.signal << (r.timed_out ? ", timed out" : "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Contains(Out(), "Orvan Demo: cycle 1 ends\n")) << Out();
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "[main] Closing\n[main] SDL_Quit\n")) << log;
  EXPECT_TRUE(Contains(log, "[main] Exiting\n")) << log;
}

// A screenshot as 8-bit RGB, read from a binary PPM.
struct Image {
  int width = 0, height = 0;
  std::string rgb;
};

Image ReadPpm(const std::string& path) {
  Image image;
  std::string data = ReadFile(path);
  int max = 0, used = 0;
  if (sscanf(data.c_str(), "P6 %d %d %d%n", &image.width, &image.height, &max, &used) != 3 || max != 255) {
    return Image();
  }
  size_t size = static_cast<size_t>(image.width) * image.height * 3;
  if (data.size() < used + 1 + size) return Image();
  image.rgb = data.substr(used + 1, size);
  return image;
}

using Rgb = std::tuple<int, int, int>;

std::map<Rgb, int> Colours(const Image& image) {
  std::map<Rgb, int> count;
  for (size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
    ++count[Rgb(static_cast<unsigned char>(image.rgb[i]), static_cast<unsigned char>(image.rgb[i + 1]),
                static_cast<unsigned char>(image.rgb[i + 2]))];
  }
  return count;
}

// What makes a frame the game's: its background over most of the window, the
// amber title and paddle, light text, and more than a handful of colours.
std::string WhyNotTheGame(const Image& image) {
  if (image.rgb.empty()) return "no image";
  std::map<Rgb, int> colours = Colours(image);
  if (colours.size() < 5) return std::to_string(colours.size()) + " colours only";
  if (colours[Rgb(16, 24, 48)] < 640 * 480 / 2) return "too little of the background";
  if (colours[Rgb(240, 180, 40)] < 88 * 12) return "no paddle and title";
  if (colours[Rgb(230, 230, 215)] < 200) return "no text";
  return "";
}

class DemoWindowTest : public DemoTest {
 protected:
  void SetUp() override {
    DemoTest::SetUp();
    xvfb = FindProgram("Xvfb");
    import = FindProgram("import");
    convert = FindProgram("convert");
    xdotool = FindProgram("xdotool");
    if (xvfb.empty() || import.empty() || convert.empty() || xdotool.empty()) {
      GTEST_SKIP() << "needs Xvfb, import, convert and xdotool (Debian: xvfb imagemagick xdotool)";
    }
    artifacts = std::string(ORVAN_BINARY_DIR) + "/test-artifacts";
    MakeDirs(artifacts);
  }

  std::vector<std::string> XEnv(const std::string& display) {
    return LaunchEnv(home, {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", WithoutLeakCheck()});
  }

  // Screenshots until one shows the game (bounded); the last one is kept.
  std::string Screenshot(const std::string& display, const std::string& png) {
    std::string why = "no screenshot taken";
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::string ppm = tmp / "shot.ppm";
      ProcessResult shot = RunProcess({import, "-display", display, "-window", "root", png}, XEnv(display), "",
                                      20000);
      ProcessResult conv = RunProcess({convert, png, "-depth", "8", "ppm:" + ppm}, XEnv(display), "", 20000);
      if (shot.exit_code != 0 || conv.exit_code != 0) {
        why = "import/convert failed: " + shot.err + conv.err;
      } else {
        why = WhyNotTheGame(ReadPpm(ppm));
        if (why.empty()) return "";
      }
      usleep(250 * 1000);
    }
    return why;
  }

  // Focuses the game's window and presses `key`.
  bool PressKey(const std::string& display, const std::string& key) {
    std::string window;
    WaitFor([&] {
      ProcessResult found = RunProcess({xdotool, "search", "--onlyvisible", "--name", "^Orvan Demo$"},
                                       XEnv(display), "", 10000);
      window = found.out.substr(0, found.out.find('\n'));
      return !window.empty();
    }, 15000);
    if (window.empty()) return false;
    ProcessResult focus = RunProcess({xdotool, "windowfocus", "--sync", window}, XEnv(display), "", 10000);
    ProcessResult press = RunProcess({xdotool, "key", key}, XEnv(display), "", 10000);
    return focus.exit_code == 0 && press.exit_code == 0;
  }

  std::string xvfb, import, convert, xdotool, artifacts;
};

TEST_F(DemoWindowTest, ShowsTheGameRestartsOnRAndQuitsOnEscape) {
  XServer x(xvfb, tmp / "xvfb.log");
  ASSERT_FALSE(x.display().empty()) << "Xvfb did not start: " << ReadFile(tmp / "xvfb.log");

  // Bounded by its frames in case no key ever arrives.
  pid_t pid = StartProcess({kExe, "-frames", "3000"}, XEnv(x.display()), out, tmp / "err.txt");
  ASSERT_GT(pid, 0);
  bool shown = WaitFor([&] { return Contains(Out(), "cycle 1 on screen"); }, 30000);
  std::string why = shown ? Screenshot(x.display(), artifacts + "/demo.png") : "never on screen";
  EXPECT_EQ(why, "") << "the screenshot does not show the game (" << artifacts << "/demo.png)\n"
                     << ReadFile(tmp / "err.txt");

  bool restarted = shown && PressKey(x.display(), "r") &&
                   WaitFor([&] { return Contains(Out(), "cycle 2 on screen"); }, 30000);
  EXPECT_TRUE(restarted) << Out();
  if (restarted) {
    EXPECT_EQ(Screenshot(x.display(), artifacts + "/demo-restarted.png"), "");
    EXPECT_TRUE(PressKey(x.display(), "Escape"));
  }
  ProcessResult r = WaitProcess(pid, restarted ? 30000 : 1000);
  ASSERT_TRUE(r.exited) << "signal " << r.signal << (r.timed_out ? ", did not end" : "");
  EXPECT_EQ(r.exit_code, 0);

  // One process, two cycles: the restart kept the process.
  std::string started = "Orvan Demo: cycle 1 started in process " + std::to_string(pid) + "\n";
  EXPECT_TRUE(Contains(Out(), started)) << Out();
  EXPECT_TRUE(Contains(Out(), "Orvan Demo: cycle 2 started in process " + std::to_string(pid) + "\n")) << Out();
  EXPECT_TRUE(Contains(Out(), "Orvan Demo: cycle 2 ends\n")) << Out();
  std::string log = Log();
  EXPECT_EQ(Count(log, "[main] restart requested\n"), 1) << log;
  EXPECT_EQ(Count(log, "[main] Exiting\n"), 2) << log;
}

}  // namespace
