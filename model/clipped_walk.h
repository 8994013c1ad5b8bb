#pragma once
// The walk of a block that a CellFilter clips: the kept cells' edges, each
// once, with collinear neighbours joined into one line, and the kept cells'
// labels with the numbers they have in the whole block. Row by row: what it
// holds is a row's column ranges and the column lines' open runs, never
// the cells.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "model/block_layout.h"
#include "model/cell_filter.h"

namespace tavimo {

// The runs of the column lines that kept cells cover, row by row.
class ColumnRuns {
 public:
  // Column lines first .. last (inclusive), all from row line `start`.
  struct Run {
    std::int64_t first, last, start;
    bool operator==(const Run&) const = default;
  };
  // Row `row` keeps the columns `kept`, which cover the column lines
  // beside them; the runs that stop at row line `row` go to `ended`, in
  // column order (none kept: every run stops).
  void Next(std::int64_t row, const std::vector<ColumnRange>& kept, std::vector<Run>& ended);

 private:
  std::vector<Run> open_, going_, fresh_;
};

// The pieces of row line j that the kept cells of the rows below and above
// it (`below`, `above`) have as edges: their union, neighbours joined.
void RowLinePieces(const std::vector<ColumnRange>& below, const std::vector<ColumnRange>& above,
                   std::vector<ColumnRange>& pieces);

// The runs of kept columns, row after row, taken one at a time: each row
// whole without a filter.
class KeptRuns {
 public:
  KeptRuns(const BlockLayout& layout, CellFilter* filter);
  // To the next run; false after the last.
  bool Next();
  std::int64_t row() const { return row_; }
  std::int64_t first() const { return kept_[at_].first; }
  std::int64_t last() const { return kept_[at_].last; }

 private:
  CellFilter* filter_;
  std::int64_t columns_, rows_;
  std::int64_t row_ = -1;
  std::vector<ColumnRange> kept_;
  std::size_t at_ = 0;
};

// The labels of the cells a filter keeps, by their index among the kept
// cells (row by row, columns increasing), `write(buffer, label)` for items
// first .. last - 1 of increasing calls: a chunked writer's format. Each
// copy walks a filter of its own, skipping what other copies format; a
// filter without Clone() cannot be walked so (see usable()).
template <typename Write>
class KeptLabels {
 public:
  KeptLabels(const BlockLayout& layout, const CellFilter& filter, Write write)
      : source_(&filter), own_(filter.Clone()), runs_(layout, own_.get()), labels_(layout), write_(std::move(write)) {}
  KeptLabels(const KeptLabels& other) : KeptLabels(*other.labels_.layout(), *other.source_, other.write_) {}
  KeptLabels& operator=(const KeptLabels&) = delete;

  bool usable() const { return own_ != nullptr; }

  template <typename Buffer>
  void operator()(Buffer& buffer, std::uint64_t first, std::uint64_t last) {
    while (at_ < last) {
      if (column_ == end_) {
        if (!runs_.Next()) return;
        row_ = runs_.row();
        column_ = runs_.first();
        end_ = runs_.last();
      }
      const auto inRun = static_cast<std::uint64_t>(end_ - column_);
      if (at_ + inRun <= first) {  // another copy's
        at_ += inRun;
        column_ = end_;
        continue;
      }
      if (at_ < first) {
        column_ += static_cast<std::int64_t>(first - at_);
        at_ = first;
      }
      const std::int64_t stop = std::min(end_, column_ + static_cast<std::int64_t>(last - at_));
      for (; column_ < stop; ++column_, ++at_) write_(buffer, labels_.At(column_, row_));
    }
  }

 private:
  const CellFilter* source_;
  std::unique_ptr<CellFilter> own_;
  KeptRuns runs_;
  LabelWalk labels_;
  Write write_;
  std::uint64_t at_ = 0;  // the index of (column_, row_)
  std::int64_t row_ = 0, column_ = 0, end_ = 0;
};

class ClippedWalk {
 public:
  ClippedWalk(const BlockLayout& layout, CellFilter& filter) : layout_(layout), filter_(filter) {}
  const BlockLayout& layout() const { return layout_; }
  const CellFilter& filter() const { return filter_; }

  // Asked now and then between rows, also where a row has nothing to hand
  // over: false stops the walk, as a visit's false does.
  void SetStillWanted(std::function<bool()> stillWanted) { stillWanted_ = std::move(stillWanted); }

  // The lines along the column lines, by the row line where they stop,
  // then by column; then the lines along the row lines, row line by row
  // line, each from the starting point's side. An area over the whole
  // block gives WalkGridLines' lines, in its order.
  template <typename Visit>
  bool WalkLines(Visit&& visit);
  // The kept cells' labels row by row, columns increasing within a row.
  template <typename Visit>
  bool WalkLabels(Visit&& visit);
  // Each row that keeps cells, with its column ranges.
  template <typename Visit>
  bool WalkRows(Visit&& visit);

  struct Counts {
    std::uint64_t lines = 0;
    std::uint64_t cells = 0;
  };
  // What the walks hand over, counted without working out a point; false
  // when stopped.
  bool Count(Counts& counts);

 private:
  // Calls row(r, kept) for the rows that keep cells and for the row after
  // each (nothing kept), up to the block's row count, where row line
  // rowCount closes the block.
  template <typename Row>
  bool ForRows(Row&& row);

  const BlockLayout& layout_;
  CellFilter& filter_;
  std::function<bool()> stillWanted_;
  std::vector<ColumnRange> kept_, below_, pieces_;
  std::vector<ColumnRuns::Run> ended_;
};

template <typename Row>
bool ClippedWalk::ForRows(Row&& row) {
  const std::int64_t rows = layout_.columnCount() > 0 ? std::max<std::int64_t>(layout_.rowCount(), 0) : 0;
  constexpr std::int64_t kRowsBetweenAsks = 1024;
  std::int64_t asked = 0;
  std::int64_t r = std::min(std::max<std::int64_t>(filter_.NextRow(0), 0), rows);
  while (true) {
    if (stillWanted_ && ++asked == kRowsBetweenAsks) {
      asked = 0;
      if (!stillWanted_()) return false;
    }
    if (r >= rows) {
      kept_.clear();
      return row(rows, kept_);
    }
    filter_.KeptColumns(r, kept_);
    if (!row(r, kept_)) return false;
    r = !kept_.empty() ? r + 1 : std::min(std::max(filter_.NextRow(r + 1), r + 1), rows);
  }
}

template <typename Visit>
bool ClippedWalk::WalkLines(Visit&& visit) {
  ColumnRuns runs;
  const bool columns = ForRows([&](std::int64_t r, const std::vector<ColumnRange>& kept) {
    runs.Next(r, kept, ended_);
    for (const ColumnRuns::Run& run : ended_)
      for (std::int64_t i = run.first; i <= run.last; ++i)
        if (!visit(layout_.ColumnPart(i, run.start, r))) return false;
    return true;
  });
  if (!columns) return false;
  below_.clear();
  return ForRows([&](std::int64_t j, const std::vector<ColumnRange>& kept) {
    RowLinePieces(below_, kept, pieces_);
    below_ = kept;
    for (const ColumnRange& piece : pieces_)
      if (!visit(layout_.RowPart(j, piece.first, piece.last))) return false;
    return true;
  });
}

template <typename Visit>
bool ClippedWalk::WalkLabels(Visit&& visit) {
  LabelWalk labels(layout_);
  return ForRows([&](std::int64_t r, const std::vector<ColumnRange>& kept) {
    for (const ColumnRange& range : kept)
      for (std::int64_t c = range.first; c < range.last; ++c)
        if (!visit(labels.At(c, r))) return false;
    return true;
  });
}

template <typename Visit>
bool ClippedWalk::WalkRows(Visit&& visit) {
  return ForRows([&](std::int64_t r, const std::vector<ColumnRange>& kept) {
    return kept.empty() || visit(r, kept);
  });
}

}  // namespace tavimo
