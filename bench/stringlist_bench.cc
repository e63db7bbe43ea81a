// SStringList against the plain way of cutting a line: a loop collecting
// std::string_view items into a std::vector. The list copies the text and
// cuts the copy in place with two allocations; the vector grows as it goes.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <string>
#include <string_view>
#include <vector>

#include "util/stringlist.h"

namespace {

// `items` items of 15 characters, separated by commas.
std::string MakeText(int items) {
  std::string text;
  text.reserve(static_cast<size_t>(items) * 16);
  for (int i = 0; i < items; ++i) {
    char item[17];
    snprintf(item, sizeof item, "item%011d,", i);
    text += item;
  }
  text.pop_back();
  return text;
}

std::vector<std::string_view> SplitPlain(std::string_view text, char delimiter) {
  std::vector<std::string_view> items;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == delimiter) {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  items.push_back(text.substr(start));
  return items;
}

// Arguments: the number of items (64: a 1 kB line; 65536: a 1 MB text).
void BM_StringListSplit(benchmark::State& state) {
  const std::string text = MakeText(static_cast<int>(state.range(0)));
  SStringList list;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Split(text.c_str(), ',', 0, 0));
    benchmark::DoNotOptimize(list.GetItem(list.Count() - 1));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StringListSplit)->Arg(64)->Arg(65536);

void BM_PlainLoopSplit(benchmark::State& state) {
  const std::string text = MakeText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string_view> items = SplitPlain(text, ',');
    benchmark::DoNotOptimize(items.data());
    benchmark::DoNotOptimize(items.back().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PlainLoopSplit)->Arg(64)->Arg(65536);

}  // namespace

BENCHMARK_MAIN();
