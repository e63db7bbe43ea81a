// The uninstall list reader, the pattern removal and the flow, in a
// temporary folder that stands for the resources folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

// Works in `dir` for its lifetime and goes back to where it was.
class InFolder {
 public:
  explicit InFolder(const std::string& dir) {
    if (getcwd(saved_, sizeof saved_) == nullptr) saved_[0] = '\0';
    EXPECT_EQ(chdir(dir.c_str()), 0) << dir;
  }
  ~InFolder() {
    if (saved_[0] != '\0' && chdir(saved_) != 0) ADD_FAILURE() << "cannot go back to " << saved_;
  }

 private:
  char saved_[PATH_MAX];
};

void Touch(const std::string& path) { ASSERT_TRUE(WriteFile(path, "x")) << path; }

// Replaces every "$OUT" by `out`.
std::string WithOut(std::string text, const std::string& out) {
  for (size_t at; (at = text.find("$OUT")) != std::string::npos;) text.replace(at, 4, out);
  return text;
}

struct ListCase {
  const char* what;
  std::string list;
  std::vector<std::string> dirs;   // made first; "$OUT" is a folder outside
  std::vector<std::string> files;  // relative to the resources folder unless "$OUT/..."
  std::vector<std::string> gone;
  std::vector<std::string> kept;
  bool listGone;
};

class SelfDestructTest : public ::testing::Test {
 protected:
  void Run(const ListCase& c) {
    SCOPED_TRACE(c.what);
    TempDir tmp;
    std::string res = tmp / "res";
    std::string out = tmp / "out";
    MakeDirs(res);
    MakeDirs(out);
    for (const std::string& d : c.dirs) MakeDirs(res + "/" + WithOut(d, out));
    for (const std::string& f : c.files) {
      std::string path = WithOut(f, out);
      Touch(path[0] == '/' ? path : res + "/" + path);
    }
    ASSERT_TRUE(WriteFile(res + "/uninstall.log", WithOut(c.list, out)));
    {
      InFolder in(res);
      SelfDestruct();
    }
    auto full = [&](const std::string& p) {
      std::string path = WithOut(p, out);
      return path[0] == '/' ? path : res + "/" + path;
    };
    for (const std::string& g : c.gone) EXPECT_FALSE(FileExists(full(g))) << "still there: " << g;
    for (const std::string& k : c.kept) EXPECT_TRUE(FileExists(full(k))) << "removed: " << k;
    EXPECT_EQ(!FileExists(res + "/uninstall.log"), c.listGone);
  }
};

TEST_F(SelfDestructTest, ListTextsAndWhatTheyRemove) {
  const ListCase cases[] = {
      {"every kind of record, Self last",
       "File:a.txt\nFolder:sub\nPattern:$OUT:*.tmp\nSelf:",
       {"sub"},
       {"a.txt", "$OUT/1.tmp", "$OUT/2.tmp", "$OUT/keep.txt"},
       {"a.txt", "sub", "$OUT/1.tmp", "$OUT/2.tmp"},
       {"$OUT/keep.txt", "$OUT"},
       true},
      {"keywords in any letter case; a relative pattern folder",
       "file:a.txt\nFOLDER:sub\npAtTeRn:sub2:*.tmp\n",
       {"sub", "sub2"},
       {"a.txt", "sub2/x.tmp"},
       {"a.txt", "sub", "sub2/x.tmp"},
       {"sub2"},
       false},
      {"a blank before the colon makes another keyword", "File :a.txt\n", {}, {"a.txt"}, {},
       {"a.txt"}, false},
      {"a blank after the colon belongs to the path", "File: a.txt\n", {}, {"a.txt", " a.txt"},
       {" a.txt"}, {"a.txt"}, false},
      {"empty and indented lines after a record are skipped",
       "File:a.txt\n\n\n   \tFile:b.txt\n  \n\tFolder:sub\n",
       {"sub"},
       {"a.txt", "b.txt"},
       {"a.txt", "b.txt", "sub"},
       {},
       false},
      {"a carriage return belongs to the path", "File:a.txt\r\nFile:b.txt\r\n", {},
       {"a.txt", "a.txt\r", "b.txt"}, {"a.txt\r"}, {"a.txt", "b.txt"}, false},
      {"the line feed after Self: swallows the records after it",
       "File:a.txt\nSelf:\nFile:b.txt\nFolder:sub\n",
       {"sub"},
       {"a.txt", "b.txt"},
       {"a.txt"},
       {"b.txt", "sub"},
       true},
      {"an unknown keyword swallows the records after it", "Foo:bar\nFile:a.txt\nFile:b.txt\n",
       {}, {"a.txt", "b.txt"}, {}, {"a.txt", "b.txt"}, false},
      {"a record right after Self: is read", "Self:File:a.txt\n", {}, {"a.txt"}, {"a.txt"}, {},
       true},
      {"a list that begins with a colon", ":File:a.txt\nSelf:", {}, {"a.txt"}, {}, {"a.txt"},
       false},
      {"an empty list", "", {}, {}, {}, {}, false},
      {"a folder that holds files stays", "Folder:full\n", {"full"}, {"full/f"}, {},
       {"full", "full/f"}, false},
      {"a missing path leaves its line feed to the next keyword", "File:\nFile:a.txt\n", {},
       {"a.txt"}, {}, {"a.txt"}, false},
      {"a Pattern without folder removes nothing", "Pattern::*.tmp\n", {}, {"x.tmp", ":x.tmp"},
       {}, {"x.tmp", ":x.tmp"}, false},
      {"the last line needs no line feed", "File:a.txt\nFile:b.txt", {}, {"a.txt", "b.txt"},
       {"a.txt", "b.txt"}, {}, false},
      {"a keyword of more than 32 characters ends after 32",
       std::string(32, 'X') + "File:a.txt\n", {}, {"a.txt"}, {"a.txt"}, {}, false},
      {"a Self noted before a stop still removes the list", "File:a.txt\nSelf::File:b.txt\n", {},
       {"a.txt", "b.txt"}, {"a.txt"}, {"b.txt"}, true},
      {"bytes 0x80-0xFF are path bytes, not the end of the list",
       "File:caf\xe9.txt\nFile:\xff.txt\nFile:a.txt\n", {}, {"caf\xe9.txt", "\xff.txt", "a.txt"},
       {"caf\xe9.txt", "\xff.txt", "a.txt"}, {}, false},
      {"a path holding a zero byte names no file", std::string("File:a.txt\0.bak\nFile:b.txt\n", 27),
       {}, {"a.txt", "b.txt"}, {"b.txt"}, {"a.txt"}, false},
      {"a keyword holding a zero byte is no keyword", std::string("File\0x:a.txt\nSelf:", 18), {},
       {"a.txt"}, {}, {"a.txt"}, false},
  };
  for (const ListCase& c : cases) Run(c);
}

// Paths of up to 512 characters are used whole; a longer one is not cut
// down to another file's name.
TEST_F(SelfDestructTest, PathsOfUpTo512Characters) {
  const std::string d1(200, 'd'), d2(200, 'e');
  const std::string name(512 - 402, 'f');
  const std::string path = d1 + "/" + d2 + "/" + name;
  ASSERT_EQ(path.size(), 512u);
  ListCase exact{"512 characters", "File:" + path + "\n", {d1 + "/" + d2}, {path}, {path}, {},
                 false};
  Run(exact);
  ListCase longer{"513 characters, the first 512 naming a file", "File:" + path + "g\n",
                  {d1 + "/" + d2}, {path}, {}, {path}, false};
  Run(longer);
}

TEST_F(SelfDestructTest, NoListRemovesNothing) {
  TempDir tmp;
  Touch(tmp / "a.txt");
  InFolder in(tmp.path());
  SelfDestruct();
  EXPECT_TRUE(FileExists(tmp / "a.txt"));
}

// A list of 100 000 records, a 100 kB line and bytes of every value, without
// a final line feed: every named file goes, nothing else does.
TEST_F(SelfDestructTest, LargeAndBinaryListsRemoveOnlyWhatTheyName) {
  TempDir tmp;
  std::string res = tmp / "res";
  MakeDirs(res);
  std::string list;
  std::vector<std::string> named;
  for (int i = 0; i < 100000; ++i) {
    std::string name = "gone-" + std::to_string(i);
    list += "File:" + name + "\n";
    if (i % 997 == 0 || i == 99999) named.push_back(name);
  }
  list += "Self:File:" + std::string(100 * 1024, 'k') + "\n";
  std::mt19937 rng(12345);
  for (int i = 0; i < 64 * 1024; ++i) list.push_back(static_cast<char>(rng() & 0xFF));
  for (const std::string& n : named) Touch(res + "/" + n);
  const std::vector<std::string> keep = {res + "/keep-1", res + "/k", tmp / "outside"};
  for (const std::string& k : keep) Touch(k);
  ASSERT_TRUE(WriteFile(res + "/uninstall.log", list));
  {
    InFolder in(res);
    SelfDestruct();
  }
  for (const std::string& n : named) EXPECT_FALSE(FileExists(res + "/" + n)) << n;
  for (const std::string& k : keep) EXPECT_TRUE(FileExists(k)) << k;
  EXPECT_FALSE(FileExists(res + "/uninstall.log"));
}

// --- DelPattern --------------------------------------------------------------

class DelPatternTest : public ::testing::Test {
 protected:
  TempDir tmp;
};

TEST_F(DelPatternTest, RemovesFilesAndLinksButNoFolders) {
  std::string dir = tmp / "dir";
  std::string target = tmp / "target";
  MakeDirs(dir + "/folder.tmp");
  MakeDirs(target);
  for (const char* f : {"a.tmp", "b.tmp", "c.txt", ".hidden.tmp", "folder.tmp/inner.tmp"}) {
    Touch(dir + "/" + f);
  }
  Touch(target + "/t.tmp");
  Touch(tmp / "file.tmp");
  ASSERT_EQ(symlink(target.c_str(), (dir + "/folderlink.tmp").c_str()), 0);
  ASSERT_EQ(symlink((tmp / "file.tmp").c_str(), (dir + "/filelink.tmp").c_str()), 0);
  ASSERT_EQ(symlink((tmp / "nowhere").c_str(), (dir + "/dangling.tmp").c_str()), 0);

  DelPattern(dir.c_str(), "*.tmp");

  for (const char* g : {"a.tmp", "b.tmp", "folderlink.tmp", "filelink.tmp", "dangling.tmp"}) {
    EXPECT_FALSE(FileExists(dir + "/" + g)) << g;
  }
  for (const char* k : {"c.txt", ".hidden.tmp", "folder.tmp", "folder.tmp/inner.tmp"}) {
    EXPECT_TRUE(FileExists(dir + "/" + k)) << k;
  }
  // What the links pointed to is untouched.
  EXPECT_TRUE(FileExists(target + "/t.tmp"));
  EXPECT_TRUE(FileExists(tmp / "file.tmp"));
}

TEST_F(DelPatternTest, EmptyFolderMeansThePatternAlone) {
  Touch(tmp / "r1.log");
  Touch(tmp / "r2.txt");
  InFolder in(tmp.path());
  DelPattern("", "r?.log");
  EXPECT_FALSE(FileExists(tmp / "r1.log"));
  EXPECT_TRUE(FileExists(tmp / "r2.txt"));
}

// "<folder>/*Z" cut to 511 characters would be "<folder>/*", which matches
// every file; the whole search pattern is skipped instead.
TEST_F(DelPatternTest, SearchPatternThatDoesNotFitIsSkipped) {
  std::string folder = tmp.path();
  while (folder.size() < 407) folder += "/" + std::string(100, 'p');
  folder += "/" + std::string(509 - folder.size() - 1, 'q');
  ASSERT_EQ(folder.size(), 509u);
  ASSERT_TRUE(MakeDirs(folder));
  Touch(folder + "/a.tmp");

  DelPattern(folder.c_str(), "*Z");  // 509 + "/" + 2 = 512 characters: one too many
  EXPECT_TRUE(FileExists(folder + "/a.tmp"));
  DelPattern(folder.c_str(), "*");  // 511 characters fit
  EXPECT_FALSE(FileExists(folder + "/a.tmp"));
}

TEST(RemoveWrappers, ReportWhetherSomethingWasRemoved) {
  TempDir tmp;
  Touch(tmp / "f");
  MakeDirs(tmp / "d/e");
  EXPECT_EQ(fsRemoveFile((tmp / "f").c_str()), 1);
  EXPECT_EQ(fsRemoveFile((tmp / "f").c_str()), 0);
  EXPECT_EQ(fsRemoveFile((tmp / "d/e").c_str()), 0);
  EXPECT_EQ(fsRemoveDirectory((tmp / "d").c_str()), 0);  // not empty
  EXPECT_EQ(fsRemoveDirectory((tmp / "d/e").c_str()), 1);
  EXPECT_TRUE(FileExists(tmp / "d"));
}

// --- The flow ------------------------------------------------------------------

struct Asked {
  int kind;
  std::string title;
  std::string text;
};
std::vector<Asked> s_asked;
std::vector<int> s_answers;

int ScriptedDialog(int kind, const char* title, const char* text) {
  s_asked.push_back({kind, title, text});
  if (s_answers.empty()) return 0;
  int answer = s_answers.front();
  s_answers.erase(s_answers.begin());
  return answer;
}

int FakeGetAppName(char*, char*, char*, int*) { return 1; }

// Names of the files a recording xdg-open wrote in `dir`: one per start.
std::vector<std::string> Recordings(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.rfind("rec.", 0) == 0 && n.find(".tmp") == std::string::npos) out.push_back(dir + "/" + n);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

class UninstallFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res = tmp / "res";
    bin = tmp / "bin";
    MakeDirs(res);
    MakeDirs(bin);
    MakeDirs(tmp / "user");
    // The address arrives as the opener's arguments, one per line.
    ASSERT_TRUE(WriteFile(bin + "/xdg-open",
                          "#!/bin/sh\n"
                          "f=\"" + tmp.path() + "/rec.$$\"\n"
                          "{ echo \"argc=$#\"; for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done; }"
                          " > \"$f.tmp\" && mv \"$f.tmp\" \"$f\"\n"));
    chmod((bin + "/xdg-open").c_str(), 0755);
    const char* path = getenv("PATH");
    savedPath = path ? path : "";
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);

    memcpy(saved.name, g_AppNameLong, sizeof saved.name);
    memcpy(saved.id, g_AppID, sizeof saved.id);
    memcpy(saved.user, g_UserPath, sizeof saved.user);
    memcpy(saved.file, g_AppFilename, sizeof saved.file);
    saved.build = g_nBuild;
    saved.getAppName = vokGetAppName;
    snprintf(g_AppNameLong, sizeof g_AppNameLong, "Test Game");
    snprintf(g_AppID, sizeof g_AppID, "test-game");
    snprintf(g_UserPath, sizeof g_UserPath, "%s/user/", tmp.path().c_str());
    snprintf(g_AppFilename, sizeof g_AppFilename, "Game");
    g_nBuild = 7;
    vokGetAppName = FakeGetAppName;
    InitLog(0);
    Logf("[main] Orvan Initialized: Test Game\n");

    s_asked.clear();
    s_answers.clear();
    PlatformSetDialogOverride(ScriptedDialog);
  }

  void TearDown() override {
    PlatformSetDialogOverride(nullptr);
    CloseLog();
    setenv("PATH", savedPath.c_str(), 1);
    memcpy(g_AppNameLong, saved.name, sizeof saved.name);
    memcpy(g_AppID, saved.id, sizeof saved.id);
    memcpy(g_UserPath, saved.user, sizeof saved.user);
    memcpy(g_AppFilename, saved.file, sizeof saved.file);
    g_nBuild = saved.build;
    vokGetAppName = saved.getAppName;
  }

  int RunFlow() {
    InFolder in(res);
    return UninstallFlow();
  }

  std::string Log() const { return ReadFile(tmp / "user/Game.txt"); }

  // Waits for the first start of the opener and returns its arguments.
  std::vector<std::string> OpenerArguments() {
    EXPECT_TRUE(WaitFor([&] { return !Recordings(tmp.path()).empty(); }, 20000));
    std::vector<std::string> r = Recordings(tmp.path());
    return r.empty() ? std::vector<std::string>() : SplitLines(ReadFile(r[0]));
  }

  TempDir tmp;
  std::string res, bin, savedPath;
  struct {
    char name[256], id[256], user[256], file[256];
    int build;
    int (*getAppName)(char*, char*, char*, int*);
  } saved;
};

const char kFirstQuestion[] =
    "Test Game Uninstall\n\nAre you sure you want to remove Test Game from your computer?";
const char kPollQuestion[] =
    "Test Game has succesfully been removed from your computer.\n"
    "Would you like to take an exit poll to tell us why you're uninstalling?";

TEST_F(UninstallFlowTest, CancelTouchesNothing) {
  Touch(res + "/a.txt");
  ASSERT_TRUE(WriteFile(res + "/uninstall.log", "File:a.txt\nSelf:"));
  s_answers = {0};
  EXPECT_EQ(RunFlow(), 0);
  ASSERT_EQ(s_asked.size(), 1u);
  EXPECT_EQ(s_asked[0].kind, kPlatformQuestion);
  EXPECT_EQ(s_asked[0].title, "Error");
  EXPECT_EQ(s_asked[0].text, kFirstQuestion);
  EXPECT_TRUE(FileExists(res + "/a.txt"));
  EXPECT_TRUE(FileExists(res + "/uninstall.log"));
  EXPECT_EQ(vokGetAppName, FakeGetAppName);
  std::string log = Log();
  EXPECT_EQ(log.find("Uninstalling"), std::string::npos) << log;
  EXPECT_EQ(log.find("EXE LOG closed"), std::string::npos) << log;
}

TEST_F(UninstallFlowTest, OkRemovesClosesTheLogAndOpensThePoll) {
  Touch(res + "/a.txt");
  ASSERT_TRUE(WriteFile(res + "/uninstall.log", "File:a.txt\nSelf:"));
  s_answers = {1, 1};
  EXPECT_EQ(RunFlow(), 0);
  ASSERT_EQ(s_asked.size(), 2u);
  EXPECT_EQ(s_asked[0].text, kFirstQuestion);
  EXPECT_EQ(s_asked[1].kind, kPlatformQuestion);
  EXPECT_EQ(s_asked[1].title, "Error");
  EXPECT_EQ(s_asked[1].text, kPollQuestion);
  EXPECT_FALSE(FileExists(res + "/a.txt"));
  EXPECT_FALSE(FileExists(res + "/uninstall.log"));
  EXPECT_EQ(vokGetAppName, nullptr);

  std::string log = Log();
  size_t at = log.find("[main] Uninstalling\nEXE LOG closed ");
  EXPECT_NE(at, std::string::npos) << log;
  std::vector<std::string> expected = {
      "argc=1",
      std::string("arg=") + ORVAN_VENDOR_SITE + "/uninstallpoll.html?From=test-game&Build=7"};
  EXPECT_EQ(OpenerArguments(), expected);
}

TEST_F(UninstallFlowTest, PollIsOfferedWithoutAListAndDeclined) {
  s_answers = {1, 0};
  EXPECT_EQ(RunFlow(), 0);
  ASSERT_EQ(s_asked.size(), 2u);
  EXPECT_EQ(s_asked[1].text, kPollQuestion);
  // Start the opener once ourselves: when it has recorded, a start by the
  // flow (which came first) would have recorded too.
  ASSERT_EQ(PlatformOpenUrl("sentinel"), 1);
  std::vector<std::string> expected = {"argc=1", "arg=sentinel"};
  EXPECT_EQ(OpenerArguments(), expected);
  EXPECT_EQ(Recordings(tmp.path()).size(), 1u);
}

// The identifier comes from the engine: whatever it holds, the address
// stays one argument, and nothing in it is run.
TEST_F(UninstallFlowTest, IdentifierIsPercentEncodedIntoOneArgument) {
  snprintf(g_AppID, sizeof g_AppID, "a b;touch pwned&x='1'\"$(id)#%%~.-_");
  s_answers = {1, 1};
  EXPECT_EQ(RunFlow(), 0);
  std::vector<std::string> expected = {
      "argc=1", std::string("arg=") + ORVAN_VENDOR_SITE +
                    "/uninstallpoll.html?From=a%20b%3Btouch%20pwned%26x%3D%271%27%22%24%28id%29%23"
                    "%25~.-_&Build=7"};
  EXPECT_EQ(OpenerArguments(), expected);
  EXPECT_FALSE(FileExists(res + "/pwned"));
  EXPECT_FALSE(FileExists(tmp / "pwned"));
}

}  // namespace
