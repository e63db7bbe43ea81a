// HexToBytes against the plain way of reading hex text: a loop that takes the
// digits two at a time and looks each one up with a chain of range tests.
// The instance record is 16 digits; the long text shows the steady rate.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"

namespace {

// `digits` hex digits, upper and lower case mixed.
std::string MakeHex(int digits) {
  static const char kDigits[] = "0123456789ABCDEFabcdef";
  std::string text;
  text.reserve(static_cast<size_t>(digits));
  for (int i = 0; i < digits; ++i) text += kDigits[(i * 7 + i / 5) % 22];
  return text;
}

int PlainDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An even number of digits, no prefix or suffix: the least a reader must do.
int PlainHexToBytes(const char* text, size_t length, unsigned char* bytes) {
  for (size_t i = 0; i + 1 < length; i += 2) {
    int hi = PlainDigit(text[i]);
    int lo = PlainDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return 0;
    bytes[i / 2] = static_cast<unsigned char>(hi * 16 + lo);
  }
  return static_cast<int>(length / 2);
}

// Arguments: the number of digits (16: the instance record; 1 << 20: 1 MB).
void BM_HexToBytes(benchmark::State& state) {
  const std::string text = MakeHex(static_cast<int>(state.range(0)));
  std::vector<unsigned char> bytes(text.size() / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(HexToBytes(text.c_str(), bytes.data(), static_cast<int>(bytes.size()),
                                        static_cast<int>(text.size())));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_HexToBytes)->Arg(16)->Arg(1 << 20);

void BM_PlainLoopHex(benchmark::State& state) {
  const std::string text = MakeHex(static_cast<int>(state.range(0)));
  std::vector<unsigned char> bytes(text.size() / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainHexToBytes(text.c_str(), text.size(), bytes.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PlainLoopHex)->Arg(16)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
