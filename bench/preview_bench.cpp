// The preview of blocks with far more grid lines than the surface has
// pixels: the time of one whole preview (clearing included), the number of
// distinct lines it draws and the time per distinct line. Side by side, the
// same lines drawn straight onto the surface, without the walk that finds
// them: `vs_drawing` is the preview's time over that.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

#include "preview/draw_preview.h"
#include "preview/pixel_surface.h"

namespace tavimo {
namespace {

constexpr int kWidth = 660, kHeight = 406;  // the dialog's preview

// Keeps the lines that reach the surface.
class RecordingSurface : public PixelSurface {
 public:
  RecordingSurface() : PixelSurface(kWidth, kHeight) { SetScale(0, kHeight, kWidth, 0); }
  void MoveTo(long double x, long double y) override {
    from_ = {x, y};
    PixelSurface::MoveTo(x, y);
  }
  void LineTo(long double x, long double y) override {
    lines.push_back({from_[0], from_[1], x, y});
    PixelSurface::LineTo(x, y);
  }
  std::vector<std::array<long double, 4>> lines;

 private:
  std::array<long double, 2> from_{};
};

template <typename Work>
double BestSeconds(Work&& work) {
  double best = std::numeric_limits<double>::infinity();
  for (int r = 0; r < 7; ++r) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void Preview(benchmark::State& state, BlockSpec spec) {
  PixelSurface surface(kWidth, kHeight);
  surface.SetScale(0, kHeight, kWidth, 0);
  for (auto _ : state) benchmark::DoNotOptimize(DrawPreview(surface, spec));

  RecordingSurface recorder;
  if (!DrawPreview(recorder, spec)) state.SkipWithError("the preview did not complete");
  const auto lines = static_cast<double>(recorder.lines.size());
  const double preview = BestSeconds([&] { benchmark::DoNotOptimize(DrawPreview(surface, spec)); });
  const double drawing = BestSeconds([&] {
    surface.Clear();
    for (const auto& l : recorder.lines) {
      surface.SetDrawingColour(kPreviewBlue);
      surface.MoveTo(l[0], l[1]);
      surface.LineTo(l[2], l[3]);
    }
    surface.Redraw();
  });
  state.counters["lines"] = lines;
  // Seconds per distinct line drawn, shown with its SI prefix.
  state.counters["per_line"] =
      benchmark::Counter(lines, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["vs_drawing"] = preview / drawing;
}

constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();

// Columns of one unit, one unit high: a run of lines on each pixel column.
BENCHMARK_CAPTURE(Preview, 1e6_x_1, BlockSpec{10, 10, 1000000, 1, 1, 1, 0})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Preview, 1e8_x_1, BlockSpec{10, 10, 100000000, 1, 1, 1, 0})->Unit(benchmark::kMillisecond);
// 2^31 - 1 cells each way, unturned and turned.
BENCHMARK_CAPTURE(Preview, 2p31_sq_angle_0, BlockSpec{10, 10, kMost, kMost, 1, 1, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Preview, 2p31_sq_angle_30, BlockSpec{10, 10, kMost, kMost, 1, 1, 30})
    ->Unit(benchmark::kMillisecond);
// Lines reaching beyond 2^24 pixels off the surface, which the surface
// clips one by one: the slowest block found, about 54,000 of them.
BENCHMARK_CAPTURE(Preview, far_off_the_surface, BlockSpec{0, 0, 2147000000, -2146981795, 1, -1, 315})
    ->Unit(benchmark::kMillisecond);
// The default block: clearing and fitting, 22 lines.
BENCHMARK_CAPTURE(Preview, default_block, BlockSpec{10, 10, 50, 50, 5, 5, 0})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavimo
