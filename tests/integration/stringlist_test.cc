// An engine module uses the launcher's SStringList and path helpers: the
// module holds no copy of them, so the launcher executable must export them
// with the layout and names the module was compiled against.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

TEST(StringListEngine, SplitsThroughTheLaunchersExports) {
  TempDir tmp;
  std::string home = tmp / "home";
  MakeDirs(home);
  std::string calls = tmp / "calls.txt";
  Bundle game = MakeBundle(tmp.path(), "Game", ORVAN_LAUNCHER, ORVAN_STRINGLIST_ENGINE);

  ProcessResult r = RunProcess({game.exe},
                               LaunchEnv(home, {"TE_LOG=" + calls,
                                                "TE_SPLIT=alpha;'b;c' ;;  d  ;\xe9t\xe9",
                                                "TE_DELIM=;", "TE_TRIM=1",
                                                "TE_PATH=Disk:Saves/slot.1.dat"}));
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> expected = {
      "count=5",
      "item[0]=alpha",
      "item[1]=b;c",
      "item[2]=",
      "start[2]=-1",
      "item[3]=d",
      "item[4]=\xe9t\xe9",
      "index[0]=alpha",
      "index[1]=b;c",
      "index[2]=",
      "index[3]=d",
      "index[4]=\xe9t\xe9",
      "find=4",
      "name=slot.1.dat",
      "ext=dat",
      "cwd=" + game.resources,
  };
  EXPECT_EQ(SplitLines(ReadFile(calls)), expected) << r.err;
}

}  // namespace
