// The command-line composition: any argument vector into ComposeCommandLine
// and ComposeHandOffMessage, with an output buffer of exactly the size the
// call is told.
//
// Input: bytes 0-1 pick the buffer size (1 to 4200); the rest is the
// arguments, each ended by a zero byte (the last one by the input's end).
// The first argument is the program's path; there is always one.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "launcher/launcher.h"

namespace {

// How many arguments an install-time switch takes out, itself included.
int Skip(const std::string& arg) {
  static const struct {
    const char* name;
    int skip;
  } kSwitches[] = {{"-install", 1},     {"-installcd", 1},          {"-safemode", 1},
                   {"-InstallDeck", 2}, {"-InstallEnvironment", 2}, {"-InstallTutorial", 2}};
  for (const auto& s : kSwitches) {
    if (strcasecmp(arg.c_str(), s.name) == 0) return s.skip;
  }
  return 0;
}

// Pieces in order while they fit whole (with the terminator) in `size`
// bytes; `complete` tells whether all did. A first piece that does not fit
// leaves nothing.
std::string Whole(const std::vector<std::string>& pieces, size_t size, bool* complete) {
  std::string out;
  *complete = true;
  for (const std::string& piece : pieces) {
    if (out.size() + piece.size() >= size) {
      *complete = false;
      break;
    }
    out += piece;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 16384) return -1;
  int outSize = 1 + (data[0] | data[1] << 8) % 4200;
  std::vector<std::string> args;
  const char* p = reinterpret_cast<const char*>(data + 2);
  const char* end = reinterpret_cast<const char*>(data + size);
  for (;;) {
    const char* zero = static_cast<const char*>(memchr(p, 0, (size_t)(end - p)));
    args.emplace_back(p, zero != nullptr ? zero : end);
    if (zero == nullptr || args.size() == 512) break;
    p = zero + 1;
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = (int)args.size();

  // The command line: the quoted program path as one piece, then every
  // argument that is not an install-time switch or a switch's value.
  std::vector<std::string> pieces = {"\"" + args[0] + "\" "};
  for (int i = 1; i < argc;) {
    int skip = Skip(args[i]);
    if (skip > 0) {
      i += skip;
      continue;
    }
    pieces.push_back(args[i] + " ");
    ++i;
  }
  bool complete;
  std::string expected = Whole(pieces, (size_t)outSize, &complete);
  char* out = new char[outSize];
  FUZZ_CHECK(ComposeCommandLine(argc, argv.data(), out, outSize) == (complete ? 1 : 0));
  FUZZ_CHECK(expected == out);

  pieces = {"CommandLine|"};
  for (const std::string& a : args) pieces.push_back(a + "|");
  expected = Whole(pieces, (size_t)outSize, &complete);
  FUZZ_CHECK(ComposeHandOffMessage(argc, argv.data(), out, outSize) == (complete ? 1 : 0));
  FUZZ_CHECK(expected == out);
  delete[] out;
  return 0;
}
