// Writes and reads preferences through the launcher's own store, for the test
// that kills a writer in the middle of a write (tests/integration/fault_test.cc).
// The current user's database is the one of $XDG_CONFIG_HOME.
//
//   prefs_writer fixed N   writes "fixed-0" .. "fixed-<N-1>", then exits 0
//   prefs_writer churn     writes, replaces and removes "churn-*" keys until
//                          it is killed; values of many sizes, so that writes
//                          touch several pages of the database
//   prefs_writer check N   reads every fixed key back and every churn key that
//                          is there; prints "fixed K/N churn C bad B" and exits
//                          0 only when all N fixed keys hold their values and
//                          no churn value is torn
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "launcher/launcher.h"

namespace {

const char kDomain[] = "Prefs Writer";
const int kChurnKeys = 64;

std::string FixedValue(int i) { return "value of fixed key " + std::to_string(i); }

// "<round>:<length>:" followed by `length` letters, so that a reader can tell
// a whole value from a torn one. Short enough to be read back (1023
// characters), long enough that a write often moves rows between pages.
std::string ChurnValue(long round) {
  int length = static_cast<int>((round * 977) % 1000);
  std::string value = std::to_string(round) + ":" + std::to_string(length) + ":";
  value.append(static_cast<size_t>(length), static_cast<char>('a' + round % 26));
  return value;
}

bool WholeChurnValue(const char* text) {
  char* end = nullptr;
  long round = strtol(text, &end, 10);
  return end != text && *end == ':' && ChurnValue(round) == text;
}

int Fixed(int n) {
  for (int i = 0; i < n; ++i) {
    std::string key = "fixed-" + std::to_string(i);
    if (!SetSystemPreference(0, kDomain, key.c_str(), FixedValue(i).c_str())) {
      fprintf(stderr, "write of %s refused\n", key.c_str());
      return 1;
    }
  }
  return 0;
}

int Churn() {
  for (long round = 0;; ++round) {
    std::string key = "churn-" + std::to_string(round % kChurnKeys);
    if (round % 5 == 4) {
      RemoveSystemPreference(0, kDomain, key.c_str());
    } else {
      SetSystemPreference(0, kDomain, key.c_str(), ChurnValue(round).c_str());
    }
  }
}

int Check(int n) {
  int fixed = 0;
  for (int i = 0; i < n; ++i) {
    std::string key = "fixed-" + std::to_string(i);
    const char* value = GetSystemPreference(0, kDomain, key.c_str(), nullptr);
    fixed += value != nullptr && FixedValue(i) == value;
  }
  int churn = 0;
  int bad = 0;
  for (int i = 0; i < kChurnKeys; ++i) {
    std::string key = "churn-" + std::to_string(i);
    const char* value = GetSystemPreference(0, kDomain, key.c_str(), nullptr);
    if (value == nullptr) continue;
    ++churn;
    bad += !WholeChurnValue(value);
  }
  printf("fixed %d/%d churn %d bad %d\n", fixed, n, churn, bad);
  return fixed == n && bad == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "fixed") == 0) return Fixed(atoi(argv[2]));
  if (argc == 2 && strcmp(argv[1], "churn") == 0) return Churn();
  if (argc == 3 && strcmp(argv[1], "check") == 0) return Check(atoi(argv[2]));
  fprintf(stderr, "usage: prefs_writer fixed N | churn | check N\n");
  return 2;
}
