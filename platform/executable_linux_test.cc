#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/platform.h"

namespace {

TEST(ExecutablePath, NamesTheRunningFileOrRefuses) {
  char path[4096];
  ASSERT_EQ(PlatformExecutablePath(path, sizeof path), 1);
  EXPECT_EQ(path[0], '/');
  struct stat named, running;
  ASSERT_EQ(stat(path, &named), 0);
  ASSERT_EQ(stat("/proc/self/exe", &running), 0);
  EXPECT_EQ(named.st_ino, running.st_ino);
  EXPECT_EQ(named.st_dev, running.st_dev);

  char small[4];
  EXPECT_EQ(PlatformExecutablePath(small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

}  // namespace
