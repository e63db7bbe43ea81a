// A fixture for tests that run a game: a temporary HOME, a Game.app bundle
// with the launcher and the test engine, and the engine's call record.
#ifndef ORVAN_TESTS_SUPPORT_GAME_TEST_H
#define ORVAN_TESTS_SUPPORT_GAME_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orvan_test {

class GameTest : public ::testing::Test {
 protected:
  // `launcher` and `engine` are the files copied into the bundle.
  void MakeGame(const std::string& launcher, const std::string& engine) {
    home = tmp / "home";
    MakeDirs(home);
    calls = tmp / "calls.txt";
    game = MakeBundle(tmp.path(), "Game", launcher, engine);
  }

  // The test engine answers the long name "Test Game".
  std::string UserFolder() const { return home + "/Library/Application Support/Brambleford/Test Game"; }
  std::string Log() const { return ReadFile(UserFolder() + "/Game.txt"); }
  std::vector<std::string> Calls() const { return SplitLines(ReadFile(calls)); }

  TempDir tmp;
  std::string home;
  std::string calls;
  Bundle game;
};

// The log's lines without blank ones, the banners as "<opened>" and "<closed>"
// (their dates differ from run to run).
inline std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(log)) {
    if (line.rfind("EXE LOG opened ", 0) == 0) {
      out.push_back("<opened>");
    } else if (line.rfind("EXE LOG closed ", 0) == 0) {
      out.push_back("<closed>");
    } else if (!line.empty()) {
      out.push_back(line);
    }
  }
  return out;
}

}  // namespace orvan_test

#endif
