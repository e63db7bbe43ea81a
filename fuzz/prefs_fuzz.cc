// The preferences read path: arbitrary bytes as the current user's database
// file (XDG_CONFIG_HOME points into a scratch folder), read with
// GetSystemPreference for a few keys.
//
// The seeds are real databases written for the host
// "0123456789abcdef0123456789abcdef"; that text is replaced by this
// machine's id before each read, so their rows are found wherever the
// target runs (a machine id has the same 32 characters).
//
// An empty input means no database file at all: the read must not make one.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "launcher/launcher.h"

namespace {

const char kSeedHost[] = "0123456789abcdef0123456789abcdef";
std::string s_host;    // this machine's id when it can stand in for kSeedHost
std::string s_folder;  // $XDG_CONFIG_HOME/orvan
std::string s_database;

std::string MachineId() {
  char line[256] = "";
  FILE* f = fopen("/etc/machine-id", "re");
  if (f != nullptr) {
    if (fgets(line, sizeof line, f) == nullptr) line[0] = '\0';
    fclose(f);
  }
  line[strcspn(line, " \t\r\n")] = '\0';
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& root = orvan_fuzz::ScratchFolder();
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  setenv("ORVAN_SHARED_PREFS_DIR", (root + "/shared").c_str(), 1);
  s_folder = root + "/orvan";
  s_database = s_folder + "/preferences.db";
  FUZZ_CHECK(mkdir(s_folder.c_str(), 0700) == 0);
  std::string id = MachineId();
  if (id.size() == sizeof kSeedHost - 1) s_host = id;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return -1;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(s_folder, ec)) {
    std::filesystem::remove_all(entry.path(), ec);
  }

  if (size > 0) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!s_host.empty()) {
      for (size_t at = 0; (at = bytes.find(kSeedHost, at)) != std::string::npos; at += s_host.size()) {
        bytes.replace(at, s_host.size(), s_host);
      }
    }
    FILE* f = fopen(s_database.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    fclose(f);
  }

  static const char* const kKeys[] = {"PSN", "Text", "Latin1", "Wide", "Long", "Blob", "Number", "Null"};
  for (const char* key : kKeys) {
    const char fallback[] = "fallback";
    const char* value = GetSystemPreference(0, "Fuzz", key, fallback);
    FUZZ_CHECK(value != nullptr);
    if (value == fallback) continue;
    FUZZ_CHECK(strlen(value) < 1024);
    // What the instance guard does with its record.
    if (strcmp(key, "PSN") == 0 && strlen(value) == 16) {
      unsigned char id[8];
      HexToBytes(value, id, sizeof id, 16);
    }
  }

  struct stat st;
  if (size == 0) FUZZ_CHECK(stat(s_database.c_str(), &st) != 0);
  return 0;
}
