// Latency of one durable preferences write: SetSystemPreference returns only
// after its transaction is on permanent storage, so this is mostly the disk's
// sync time. Each repetition is a single call; the median over them is the
// figure to read (every repetition goes to --benchmark_out).
//
// The databases go to a fresh folder under $ORVAN_BENCH_DIR, else /var/tmp
// (a disk on most systems; /tmp may be memory, where syncs cost nothing).
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/launcher.h"

namespace {

void BM_SetSystemPreferenceDurable(benchmark::State& state) {
  static int counter;
  char value[32];
  for (auto _ : state) {
    snprintf(value, sizeof value, "%016X", ++counter);
    if (!SetSystemPreference(0, "Bench Game", "PSN", value)) {
      state.SkipWithError("the write was refused");
      break;
    }
  }
}
BENCHMARK(BM_SetSystemPreferenceDurable)
    ->Iterations(1)
    ->Repetitions(201)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->DisplayAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_GetSystemPreference(benchmark::State& state) {
  SetSystemPreference(0, "Bench Game", "Read", "0123456789ABCDEF");
  for (auto _ : state) benchmark::DoNotOptimize(GetSystemPreference(0, "Bench Game", "Read", nullptr));
}
BENCHMARK(BM_GetSystemPreference)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  const char* base = getenv("ORVAN_BENCH_DIR");
  std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/var/tmp") + "/orvan-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    perror("prefs_bench: mkdtemp");
    return 1;
  }
  setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
  setenv("ORVAN_SHARED_PREFS_DIR", (pattern + "/shared").c_str(), 1);
  setenv("HOME", (pattern + "/home").c_str(), 1);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return 0;
}
