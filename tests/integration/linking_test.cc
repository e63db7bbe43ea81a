// The launcher executable carries the little of the C++ runtime it uses, so
// that a launch does not load libstdc++: the runtime must be linked in, and
// none of it may be exported, or a C++ engine module would have its runtime
// calls bound to the launcher's partial copy instead of its own library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace orvan_test;

namespace {

std::vector<std::string> Lines(const std::vector<std::string>& argv) {
  ProcessResult r = RunProcess(argv, {"LC_ALL=C"});
  EXPECT_TRUE(r.exited && r.exit_code == 0) << argv[0] << ": " << r.err;
  return SplitLines(r.out);
}

TEST(LauncherLinking, CarriesItsCppRuntimeWithoutExportingIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "sanitizer builds keep the shared C++ runtime";
#endif
  for (const std::string& line : Lines({"/usr/bin/readelf", "-d", ORVAN_LAUNCHER})) {
    if (line.find("(NEEDED)") == std::string::npos) continue;
    EXPECT_EQ(line.find("libstdc++"), std::string::npos) << line;
    EXPECT_EQ(line.find("libgcc_s"), std::string::npos) << line;
  }

  int launcherNames = 0;
  for (const std::string& line : Lines({"/usr/bin/nm", "-D", "--defined-only", ORVAN_LAUNCHER})) {
    std::string name = line.substr(line.rfind(' ') + 1);
    // operator new and delete, the ABI's type-information classes, the
    // exception and unwinding entry points, the std namespace
    for (const char* prefix : {"_Znw", "_Zna", "_Zdl", "_Zda", "_ZTVN10__cxxabiv", "_ZTIN10__cxxabiv",
                               "__cxa_", "__gxx_", "_Unwind_", "_ZSt", "_ZNSt", "_ZNKSt"}) {
      EXPECT_NE(name.rfind(prefix, 0), 0u) << "exported: " << name;
    }
    if (name == "SDL_main" || name == "_ZTI11SStringList" || name == "_ZN11SStringList5SplitEPKccii") {
      ++launcherNames;
    }
  }
  EXPECT_EQ(launcherNames, 3) << "the launcher's own names must stay exported";
}

}  // namespace
