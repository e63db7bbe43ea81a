#include "util/filename.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

struct PathCase {
  const char* path;
  const char* expected;
};

// Both name functions answer with a pointer into their argument.
void ExpectInside(const char* path, const char* result) {
  EXPECT_GE(result, path) << path;
  EXPECT_LE(result, path + strlen(path)) << path;
}

TEST(GetFileName, TakesThePartBehindTheLastSeparator) {
  const PathCase cases[] = {
      {"/Applications/Game.app/Contents/MacOS/Game", "Game"},
      {"Disk:Folder:File", "File"},
      {"C:\\Games\\run.exe", "run.exe"},
      {"a/b\\c:d.e", "d.e"},
      {"folder/", ""},
      {"name", "name"},
      {"", ""},
      {"/", ""},
  };
  for (const PathCase& c : cases) {
    const char* name = GetFileName(c.path);
    EXPECT_STREQ(name, c.expected) << c.path;
    ExpectInside(c.path, name);
  }
  const char* bare = "name";
  EXPECT_EQ(GetFileName(bare), bare);
  const char* empty = "";
  EXPECT_EQ(GetFileName(empty), empty);
  const char* folder = "folder/";
  EXPECT_EQ(GetFileName(folder), folder + 7);
}

TEST(GetFileExt, TakesThePartBehindTheLastDot) {
  const PathCase cases[] = {
      {"archive.tar.gz", "gz"},
      {".profile", "profile"},
      {"file.", ""},
      {"name", ""},
      {"", ""},
      {"dir.d\\file", ""},
      {"dir.d/file", "d/file"},
      {"a.b:c", "b:c"},
      {"a.b\\c.txt", "txt"},
  };
  for (const PathCase& c : cases) {
    const char* ext = GetFileExt(c.path);
    EXPECT_STREQ(ext, c.expected) << c.path;
    ExpectInside(c.path, ext);
  }
  // No extension: the terminating zero of the argument, not the argument.
  const char* name = "name";
  EXPECT_EQ(GetFileExt(name), name + 4);
  const char* cleared = "dir.d\\file";
  EXPECT_EQ(GetFileExt(cleared), cleared + strlen(cleared));
}

TEST(FsGetCurrentDir, WritesTheWorkingDirectoryWhenItFits) {
  char expected[PATH_MAX];
  ASSERT_NE(getcwd(expected, sizeof expected), nullptr);
  char buffer[1024];
  ASSERT_EQ(fsGetCurrentDir(buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, expected);

  // Exactly the path and its terminator fits; one byte less does not.
  int need = static_cast<int>(strlen(expected)) + 1;
  std::string exact(need, 'x');
  EXPECT_EQ(fsGetCurrentDir(exact.data(), need), 1);
  EXPECT_STREQ(exact.c_str(), expected);
  std::string small(need, 'x');
  EXPECT_EQ(fsGetCurrentDir(small.data(), need - 1), 0);
  EXPECT_EQ(small[need - 1], 'x');  // nothing written past the given size

  char two[2];
  EXPECT_EQ(fsGetCurrentDir(two, sizeof two), strcmp(expected, "/") == 0 ? 1 : 0);
  EXPECT_EQ(fsGetCurrentDir(buffer, 0), 0);
  EXPECT_EQ(fsGetCurrentDir(buffer, -1), 0);
}

TEST(FsGetCurrentDir, RootHasNoTrailingSlash) {
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir("/"), 0);
  char two[2];
  int result = fsGetCurrentDir(two, sizeof two);
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(two, "/");
}

}  // namespace
