#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "tests/support/test_support.h"

using orvan_test::Args;

namespace {

struct CompositionCase {
  std::vector<std::string> args;
  const char* composed;
};

TEST(ComposeCommandLine, LeavesOutInstallTimeSwitches) {
  const CompositionCase cases[] = {
      {{"P"}, "\"P\" "},
      {{"P", "-SafeMode", "alpha", "-InstallDeck", "beta", "gamma"}, "\"P\" alpha gamma "},
      {{"P", "-INSTALL", "-Install", "x"}, "\"P\" x "},
      {{"P", "-installcd", "keep"}, "\"P\" keep "},
      {{"P", "-InstallDeck", "-safemode", "-safemode", "z"}, "\"P\" z "},
      {{"P", "-installenvironment", "e", "-INSTALLTUTORIAL"}, "\"P\" "},
      {{"P", "-InstallTutorial", "t", "u"}, "\"P\" u "},
      {{"P", "-uninstall", "-installx", "-safemodes"}, "\"P\" -uninstall -installx -safemodes "},
      {{"/My Games/P", "a b", "\"q\""}, "\"/My Games/P\" a b \"q\" "},
  };
  for (const CompositionCase& c : cases) {
    Args args(c.args);
    char out[4096];
    EXPECT_EQ(ComposeCommandLine(args.argc(), args.argv(), out, sizeof out), 1);
    EXPECT_STREQ(out, c.composed) << "first argument after the path: "
                                  << (c.args.size() > 1 ? c.args[1] : "(none)");
  }
}

TEST(ComposeCommandLine, CutsOnlyBetweenWholeArguments) {
  // 4095 characters at most: "\"P\" " is 4, each argument 1400 and a blank.
  Args args({"P", std::string(1400, 'a'), std::string(1400, 'b'), std::string(1400, 'c'), "d"});
  char out[4096];
  memset(out, 'x', sizeof out);
  EXPECT_EQ(ComposeCommandLine(args.argc(), args.argv(), out, sizeof out), 0);
  std::string expected = "\"P\" " + std::string(1400, 'a') + " " + std::string(1400, 'b') + " ";
  EXPECT_TRUE(std::string(out) == expected) << "composed " << strlen(out) << " characters";

  Args huge({std::string(5000, 'p')});
  EXPECT_EQ(ComposeCommandLine(huge.argc(), huge.argv(), out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

TEST(ComposeHandOffMessage, PacksEveryArgumentWithBars) {
  Args args({"/Games/Play", "-safemode"});
  char out[4096];
  EXPECT_EQ(ComposeHandOffMessage(args.argc(), args.argv(), out, sizeof out), 1);
  EXPECT_STREQ(out, "CommandLine|/Games/Play|-safemode|");
  EXPECT_EQ(ComposeHandOffMessage(0, args.argv(), out, sizeof out), 1);
  EXPECT_STREQ(out, "CommandLine|");

  // "CommandLine|/G|" is 15 characters; the long argument and its bar fill
  // the buffer to 4094, so "tail|" no longer fits and is left out whole.
  Args big({"/G", std::string(4078, 'x'), "tail"});
  EXPECT_EQ(ComposeHandOffMessage(big.argc(), big.argv(), out, sizeof out), 0);
  EXPECT_TRUE(std::string(out) == "CommandLine|/G|" + std::string(4078, 'x') + "|")
      << "composed " << strlen(out) << " characters";
}

}  // namespace
