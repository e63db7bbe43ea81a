// Game bundles and their install: `cmake --install` of the demo game into a
// temporary prefix, the desktop entry, the uninstall list it writes, and
// `<Game> -Uninstall` afterwards; bundles that are broken on purpose.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

const char kGame[] = "OrvanDemo";
const char kDesktopId[] = "com.brambleford.OrvanDemo";

// The cmake that configured the build under test.
std::string CmakeCommand() {
  for (const std::string& line : SplitLines(ReadFile(std::string(ORVAN_BINARY_DIR) + "/CMakeCache.txt"))) {
    const std::string key = "CMAKE_COMMAND:INTERNAL=";
    if (line.rfind(key, 0) == 0) return line.substr(key.size());
  }
  return FindProgram("cmake");
}

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

bool IsSymlink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR) != 0;
}

std::string LinkTarget(const std::string& path) {
  std::error_code ec;
  return std::filesystem::read_symlink(path, ec).string();
}

// Everything under `root` (itself included for folders), split into folders
// and everything else, by lstat: a link is a file here.
void Walk(const std::string& root, std::set<std::string>* folders, std::set<std::string>* files) {
  std::error_code ec;
  folders->insert(root);
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      folders->insert(it->path().string());
    } else {
      files->insert(it->path().string());
    }
  }
}

// The value of `key` in a desktop entry, "" when absent.
std::string DesktopValue(const std::string& entry, const std::string& key) {
  for (const std::string& line : SplitLines(entry)) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

// The program of an Exec value: the string escapes undone first (a doubled
// backslash is one), then the first argument, quoted or not.
std::string ExecProgram(const std::string& value) {
  std::string exec;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      ++i;
      char c = value[i];
      exec += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    } else {
      exec += value[i];
    }
  }
  if (exec.empty() || exec[0] != '"') return exec.substr(0, exec.find(' '));
  std::string out;
  for (size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
    out += exec[i];
  }
  return out;
}

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = tmp / "home";
    MakeDirs(home);
    prefix = tmp / "prefix";
    cmake = CmakeCommand();
    ASSERT_FALSE(cmake.empty()) << "no cmake found";
    ASSERT_TRUE(FileExists(std::string(ORVAN_BINARY_DIR) + "/" + kGame + ".app/Contents/MacOS/" + kGame))
        << "build the project (the " << kGame << "_bundle target) before running this test";
  }

  // cmake --install of the game alone, into `into`, with `env_extra`.
  ProcessResult Install(const std::string& into, const std::vector<std::string>& env_extra = {}) {
    return RunProcess({cmake, "--install", ORVAN_BINARY_DIR, "--component", kGame, "--prefix", into},
                      LaunchEnv(home, env_extra), "", 120000);
  }

  std::string App() const { return prefix + "/" + kGame + ".app"; }
  std::string Exe() const { return App() + "/Contents/MacOS/" + kGame; }
  std::string Desktop() const { return prefix + "/share/applications/" + kDesktopId + ".desktop"; }

  TempDir tmp;
  std::string home;
  std::string prefix;
  std::string cmake;
};

TEST_F(InstallTest, InstallsTheGameAndItsUninstallListRemovesExactlyThat) {
  ProcessResult r = Install(prefix);
  ASSERT_TRUE(r.exited && r.exit_code == 0) << r.out << r.err;
  // Installing again must not forget the folders the first install made.
  r = Install(prefix);
  ASSERT_TRUE(r.exited && r.exit_code == 0) << r.out << r.err;

  EXPECT_TRUE(IsExecutableFile(Exe()));
  EXPECT_TRUE(FileExists(App() + "/Contents/Resources/zizuzo.so"));
  EXPECT_TRUE(FileExists(App() + "/Contents/Resources/data/tips.txt"));
  EXPECT_TRUE(FileExists(Desktop()));
  EXPECT_TRUE(FileExists(prefix + "/share/icons/hicolor/scalable/apps/" + kDesktopId + ".svg"));
  std::string link = prefix + "/bin/" + kGame;
  ASSERT_TRUE(IsSymlink(link));
  EXPECT_EQ(LinkTarget(link), Exe());

  // Started from the command line through the link, the game finds its bundle.
  ProcessResult game = RunProcess({link, "-frames", "5"}, LaunchEnv(home, {WithoutLeakCheck()}));
  ASSERT_TRUE(game.exited) << game.err;
  EXPECT_EQ(game.exit_code, 0);
  EXPECT_NE(game.out.find("Orvan Demo: cycle 1 on screen"), std::string::npos) << game.out << game.err;

  // The list names every file and folder the install made, files first and
  // each folder before the one that holds it; nothing else.
  std::set<std::string> folders, files;
  Walk(prefix, &folders, &files);
  std::string list = ReadFile(App() + "/Contents/Resources/uninstall.log");
  std::set<std::string> listed_files, listed_folders;
  std::vector<std::string> folder_order;
  bool folders_started = false;
  for (const std::string& line : SplitLines(list)) {
    if (line.rfind("File:", 0) == 0) {
      EXPECT_FALSE(folders_started) << "file after a folder: " << line;
      listed_files.insert(line.substr(5));
    } else if (line.rfind("Folder:", 0) == 0) {
      folders_started = true;
      listed_folders.insert(line.substr(7));
      folder_order.push_back(line.substr(7));
    } else {
      ADD_FAILURE() << "unexpected record: " << line;
    }
  }
  EXPECT_EQ(listed_files, files);
  EXPECT_EQ(listed_folders, folders);
  for (size_t i = 0; i < folder_order.size(); ++i) {
    for (size_t j = i + 1; j < folder_order.size(); ++j) {
      EXPECT_NE(folder_order[j].rfind(folder_order[i] + "/", 0), 0u)
          << folder_order[i] << " comes before " << folder_order[j] << ", which it holds";
    }
  }

  // OK to the question, no to the exit poll: nothing of the game is left.
  ProcessResult un = RunProcess({Exe(), "-Uninstall"}, LaunchEnv(home, {"ORVAN_DIALOG=terminal"}), "y\nn\n");
  ASSERT_TRUE(un.exited) << un.err;
  EXPECT_EQ(un.exit_code, 0);
  std::set<std::string> left_folders, left_files;
  if (FileExists(prefix)) Walk(prefix, &left_folders, &left_files);
  EXPECT_TRUE(left_files.empty() && left_folders.empty())
      << "left behind: " << (left_files.empty() ? *left_folders.begin() : *left_files.begin()) << "\n"
      << un.err;
}

TEST_F(InstallTest, DesktopEntryIsValidAndStartsTheGame) {
  ProcessResult r = Install(prefix);
  ASSERT_TRUE(r.exited && r.exit_code == 0) << r.out << r.err;
  std::string entry = ReadFile(Desktop());
  EXPECT_EQ(DesktopValue(entry, "Type"), "Application");
  EXPECT_EQ(DesktopValue(entry, "Name"), "Orvan Demo");
  EXPECT_EQ(DesktopValue(entry, "Icon"), kDesktopId);
  EXPECT_NE(DesktopValue(entry, "Categories").find("Game;"), std::string::npos);

  std::string program = ExecProgram(DesktopValue(entry, "Exec"));
  EXPECT_EQ(program, Exe());
  ProcessResult game = RunProcess({program, "-frames", "5"}, LaunchEnv(home, {WithoutLeakCheck()}));
  ASSERT_TRUE(game.exited) << game.err;
  EXPECT_EQ(game.exit_code, 0);
  EXPECT_NE(game.out.find("Orvan Demo: cycle 1 on screen"), std::string::npos) << game.out << game.err;

  std::string validator = FindProgram("desktop-file-validate");
  if (validator.empty()) GTEST_SKIP() << "desktop-file-validate not found (Debian: desktop-file-utils)";
  ProcessResult v = RunProcess({validator, Desktop()}, LaunchEnv(home));
  ASSERT_TRUE(v.exited);
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_EQ(v.out.find("error"), std::string::npos) << v.out;
}

// A path with blanks and quotes needs the desktop format's quoting in Exec.
TEST_F(InstallTest, ExecQuotesAPrefixWithReservedCharacters) {
  prefix = tmp / "Games \"and\" $tuff";
  ProcessResult r = Install(prefix);
  ASSERT_TRUE(r.exited && r.exit_code == 0) << r.out << r.err;
  std::string exec = DesktopValue(ReadFile(Desktop()), "Exec");
  EXPECT_EQ(exec[0], '"') << exec;
  EXPECT_EQ(ExecProgram(exec), Exe());
  std::string validator = FindProgram("desktop-file-validate");
  if (validator.empty()) GTEST_SKIP() << "desktop-file-validate not found (Debian: desktop-file-utils)";
  ProcessResult v = RunProcess({validator, Desktop()}, LaunchEnv(home));
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
}

// A staged install (DESTDIR) writes only below the stage and names the paths
// the files will have once the stage is put in place; with the system prefix
// the bundle goes to /opt.
TEST_F(InstallTest, StagedInstallNamesTheFinalPaths) {
  std::string stage = tmp / "stage";
  bool opt_had_game = FileExists(std::string("/opt/") + kGame + ".app");
  ProcessResult r = Install("/usr/local", {"DESTDIR=" + stage});
  ASSERT_TRUE(r.exited && r.exit_code == 0) << r.out << r.err;
  if (!opt_had_game) {
    EXPECT_FALSE(FileExists(std::string("/opt/") + kGame + ".app"));
  }

  std::string final_app = std::string("/opt/") + kGame + ".app";
  EXPECT_TRUE(IsExecutableFile(stage + final_app + "/Contents/MacOS/" + kGame));
  EXPECT_EQ(LinkTarget(stage + "/usr/local/bin/" + kGame), final_app + "/Contents/MacOS/" + kGame);
  std::string list = ReadFile(stage + final_app + "/Contents/Resources/uninstall.log");
  std::set<std::string> folders, files;
  Walk(stage, &folders, &files);
  size_t listed_files = 0;
  for (const std::string& line : SplitLines(list)) {
    if (line.rfind("File:", 0) == 0) {
      ++listed_files;
      EXPECT_TRUE(files.count(stage + line.substr(5))) << line;
    } else {
      // Folders outside the bundle may be shared once the stage is unpacked.
      EXPECT_EQ(line.rfind("Folder:" + final_app, 0), 0u) << line;
    }
  }
  EXPECT_EQ(listed_files, files.size());
}

TEST_F(InstallTest, PrefixThatCannotBeWrittenStopsWithAClearMessage) {
  WriteFile(tmp / "a-file", "not a folder\n");
  const std::string prefixes[] = {tmp / "a-file/prefix", "/proc/orvan-test-prefix"};
  for (const std::string& into : prefixes) {
    SCOPED_TRACE(into);
    ProcessResult r = Install(into);
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find(std::string("Cannot install ") + kGame + " into " + into), std::string::npos)
        << r.err;
  }
  EXPECT_EQ(ReadFile(tmp / "a-file"), "not a folder\n");
}

// Broken bundles take the launcher's error path: an alert, exit status 0,
// never a crash.
TEST(BrokenBundleTest, ShowsTheCannotLoadAlert) {
  struct BrokenCase {
    const char* name;
    void (*spoil)(const Bundle& game);
    bool needs_non_root;  // root reads any folder whatever its mode
  };
  const BrokenCase cases[] = {
      {"no engine module", [](const Bundle& game) { unlink((game.resources + "/zizuzo.so").c_str()); },
       false},
      {"engine module for another machine",
       [](const Bundle& game) {
         // e_machine, two bytes at offset 18 of the ELF header: AArch64 (183).
         std::string elf = ReadFile(game.resources + "/zizuzo.so");
         elf[18] = static_cast<char>(183);
         elf[19] = 0;
         WriteFile(game.resources + "/zizuzo.so", elf);
       },
       false},
      {"Resources is a file",
       [](const Bundle& game) {
         RemoveTree(game.resources);
         WriteFile(game.resources, "");
       },
       false},
      {"Resources cannot be read", [](const Bundle& game) { chmod(game.resources.c_str(), 0); }, true},
  };
  for (const BrokenCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_non_root && geteuid() == 0) continue;
    TempDir run;
    std::string home = run / "home";
    MakeDirs(home);
    Bundle game = MakeBundle(run.path(), kGame, ORVAN_LAUNCHER, ORVAN_DEMO_ENGINE);
    c.spoil(game);
    ProcessResult r = RunProcess({game.exe, "-frames", "5"}, LaunchEnv(home));
    chmod(game.resources.c_str(), 0755);
    ASSERT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.err;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find("ERROR\n\nCan't load zizuzo.so!\nError: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("on screen"), std::string::npos);
  }
}

}  // namespace
