// The writers alone: one DXF LINE or TEXT entity, or one RWS cell line,
// formatted into a file in memory (emptied when nearly full), in ns per
// item. With the layout walk (layout_bench.cpp) this is the work of an
// export besides the kernel's copying of the bytes into the file.
#include <benchmark/benchmark.h>

#include <vector>

#include "export/cht_writer.h"
#include "export/dxf_writer.h"
#include "model/block_layout.h"
#include "output/text_output_file.h"

namespace tavimo {
namespace {

BlockSpec Block1000() {
  BlockSpec spec;
  spec.startX = 10;
  spec.startY = 10;
  spec.widthTotal = spec.heightTotal = 1000;
  spec.widthCell = spec.heightCell = 1;
  spec.angle = 30;
  return spec;
}

// Labels of the 1000 x 1000 block, a row's worth from every 50th row.
const std::vector<CellLabel>& Labels() {
  static const std::vector<CellLabel> labels = [] {
    const BlockLayout layout(Block1000());
    std::vector<CellLabel> v;
    for (std::int64_t r = 0; r < 1000; r += 50)
      for (std::int64_t c = 0; c < 1000; ++c) v.push_back(layout.Label(c, r));
    return v;
  }();
  return labels;
}

template <typename Write>
void PerItem(benchmark::State& state, Write write) {
  TextBuffer memory;
  std::size_t i = 0;
  for (auto _ : state) {
    write(memory, i);
    if (memory.text().size() > (900u << 10)) memory.Reset();
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_WriteDxfCellLabel(benchmark::State& state) {
  const auto& labels = Labels();
  const BlockSpec spec = Block1000();
  const float rotation = DxfTextRotation(spec), height = DxfTextHeight(spec);
  DxfLabelWriter write(rotation, height);
  PerItem(state, [&](TextBuffer& file, std::size_t i) { write(file, labels[i % labels.size()]); });
}
BENCHMARK(BM_WriteDxfCellLabel);

void BM_WriteRwsCell(benchmark::State& state) {
  const auto& labels = Labels();
  RwsCellWriter write;
  PerItem(state, [&](TextBuffer& file, std::size_t i) { write(file, labels[i % labels.size()]); });
}
BENCHMARK(BM_WriteRwsCell);

void BM_WriteDxfGridLine(benchmark::State& state) {
  const BlockLayout layout(Block1000());
  std::vector<GridLine> lines;
  layout.WalkGridLines([&](const GridLine& line) {
    lines.push_back(line);
    return true;
  });
  PerItem(state,
          [&](TextBuffer& file, std::size_t i) { WriteDxfGridLine(file, lines[i % lines.size()]); });
}
BENCHMARK(BM_WriteDxfGridLine);

// The cells of the whole 1000 x 1000 block as the save makes them: the
// layout walk feeding the writer, the text going into a file in memory
// (emptied when nearly full). Set against BM_WalkCellLabels (the walk
// alone), this is the writer's cost inside the walk, where the caches are
// shared with the geometry and the text streams through memory.
template <typename Writer>
void InTheWalk(benchmark::State& state, Writer write) {
  const BlockLayout layout(Block1000());
  TextBuffer memory;
  for (auto _ : state) {
    layout.WalkCellLabels([&](const CellLabel& label) {
      write(memory, label);
      if (memory.text().size() > (900u << 10)) memory.Reset();
      return true;
    });
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * layout.labelCount()));
  state.counters["per_item"] = benchmark::Counter(static_cast<double>(layout.labelCount()),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_RwsCellsInTheWalk(benchmark::State& state) { InTheWalk(state, RwsCellWriter()); }
BENCHMARK(BM_RwsCellsInTheWalk)->Unit(benchmark::kMillisecond);

void BM_DxfLabelsInTheWalk(benchmark::State& state) {
  const BlockSpec spec = Block1000();
  InTheWalk(state, DxfLabelWriter(DxfTextRotation(spec), DxfTextHeight(spec)));
}
BENCHMARK(BM_DxfLabelsInTheWalk)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavimo
