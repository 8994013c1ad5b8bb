// The BlockLayout walks alone, without any formatting or writing: the
// geometry's share of an export, in ns per grid line or cell label.
#include <benchmark/benchmark.h>

#include "model/block_layout.h"

namespace tavimo {
namespace {

BlockSpec Block1000() {
  BlockSpec spec;
  spec.startX = 1250.5L;
  spec.startY = -340.25L;
  spec.widthTotal = 1000;
  spec.heightTotal = 1000;
  spec.widthCell = 1;
  spec.heightCell = 1;
  spec.angle = 30;
  return spec;
}

void PerItem(benchmark::State& state, std::uint64_t items) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items));
  // Seconds per item, shown with its SI prefix: "per_item=22.6ns".
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(items), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_WalkGridLines(benchmark::State& state) {
  const BlockLayout layout(Block1000());
  for (auto _ : state) {
    layout.WalkGridLines([](const GridLine& line) {
      benchmark::DoNotOptimize(line);
      return true;
    });
  }
  PerItem(state, layout.lineCount());
}
BENCHMARK(BM_WalkGridLines)->Unit(benchmark::kMicrosecond);

void BM_WalkCellLabels(benchmark::State& state) {
  const BlockLayout layout(Block1000());
  for (auto _ : state) {
    layout.WalkCellLabels([](const CellLabel& label) {
      benchmark::DoNotOptimize(label);
      return true;
    });
  }
  PerItem(state, layout.labelCount());
}
BENCHMARK(BM_WalkCellLabels)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavimo
