// Number-to-text cost on realistic coordinates: those of a turned block, as
// the writers format them. The to_chars expansion is the former path, kept
// (it is also the fallback for extreme magnitudes) to show the gain.
#include <benchmark/benchmark.h>

#include <iterator>
#include <vector>

#include "model/block_layout.h"
#include "number/decimal_expansion.h"
#include "number/fast_number_text.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

// Label and line coordinates of a 1000 x 1000 block at 30 degrees, spread
// over the whole block: mostly 15 to 17 significant digits, 1 to 4 before
// the point, both signs.
const std::vector<long double>& Coordinates() {
  static const std::vector<long double> values = [] {
    BlockSpec spec;
    spec.startX = 1250.5L;
    spec.startY = -340.25L;
    spec.widthTotal = spec.heightTotal = 1000;
    spec.widthCell = spec.heightCell = 1;
    spec.angle = 30;
    const BlockLayout layout(spec);
    std::vector<long double> v;
    std::uint64_t n = 0;
    layout.WalkCellLabels([&](const CellLabel& label) {
      if (n++ % 29 == 0) {
        v.push_back(label.x);
        v.push_back(label.y);
      }
      return v.size() < (1u << 16);
    });
    layout.WalkGridLines([&](const GridLine& line) {
      v.push_back(line.endX);
      v.push_back(line.endY);
      return true;
    });
    return v;
  }();
  return values;
}

template <typename Convert>
void PerNumber(benchmark::State& state, Convert convert) {
  const auto& values = Coordinates();
  std::size_t i = 0;
  for (auto _ : state) {
    convert(values[i]);
    if (++i == values.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_NumberString(benchmark::State& state) {
  PerNumber(state, [](long double v) { benchmark::DoNotOptimize(NumberString(v)); });
}
BENCHMARK(BM_NumberString);

// The allocation-free core that the writers use.
void BM_FormatNumber15(benchmark::State& state) {
  char text[kMaxNumberText];
  PerNumber(state, [&](long double v) {
    benchmark::DoNotOptimize(FormatNumber(text, v, 15, true));
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_FormatNumber15);

// Both numbers of a point as the writers put them, " x  y": per number,
// to set beside BM_FormatNumber15.
void BM_PutPairPerNumber(benchmark::State& state) {
  const auto& values = Coordinates();
  char text[3 * kMaxNumberText];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fast::PutPair(text, values[i], " ", values[i + 1]));
    benchmark::ClobberMemory();
    i += 2;
    if (i + 1 >= values.size()) i = 0;
  }
  state.SetItemsProcessed(2 * state.iterations());
  state.counters["per_number"] = benchmark::Counter(2, benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(BM_PutPairPerNumber);

// DXF group codes and other small constants, 7 digits: most items of a file.
void BM_FormatNumber7SmallIntegers(benchmark::State& state) {
  static const long double codes[] = {0, 8, 10, 20, 11, 21, 40, 50, 1, 62, 7, 72, 73, 100};
  char text[kMaxNumberText];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatNumber(text, codes[i], 7, true));
    benchmark::ClobberMemory();
    if (++i == std::size(codes)) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatNumber7SmallIntegers);

void BM_DecimalExpansion18(benchmark::State& state) {
  char digits[18];
  int point = 0;
  PerNumber(state, [&](long double v) {
    DecimalExpansion18(v, digits, point);
    benchmark::DoNotOptimize(point);
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_DecimalExpansion18);

void BM_DecimalExpansion18ByBigInteger(benchmark::State& state) {
  char digits[18];
  int point = 0;
  PerNumber(state, [&](long double v) {
    DecimalExpansion18ByBigInteger(v, digits, point);
    benchmark::DoNotOptimize(point);
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_DecimalExpansion18ByBigInteger);

}  // namespace
}  // namespace tavimo
