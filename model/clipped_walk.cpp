#include "model/clipped_walk.h"

#include <algorithm>

namespace tavimo {

bool ClipModeNamed(std::string_view name, ClipMode& mode) {
  if (name == "touches") {
    mode = ClipMode::kTouches;
  } else if (name == "inside") {
    mode = ClipMode::kInside;
  } else if (name == "centre") {
    mode = ClipMode::kCentre;
  } else {
    return false;
  }
  return true;
}

// A kept range of columns first .. last - 1 covers column lines first ..
// last; ranges are apart, so their lines never overlap.
void ColumnRuns::Next(std::int64_t row, const std::vector<ColumnRange>& kept, std::vector<Run>& ended) {
  ended.clear();
  going_.clear();
  fresh_.clear();
  // Each open run, cut by the covered lines: its covered parts go on, the
  // rest stops here.
  std::size_t k = 0;
  for (const Run& run : open_) {
    while (k < kept.size() && kept[k].last < run.first) ++k;
    std::int64_t at = run.first;
    for (std::size_t j = k; at <= run.last; ++j) {
      if (j == kept.size() || kept[j].first > run.last) {
        ended.push_back({at, run.last, run.start});
        break;
      }
      if (kept[j].first > at) ended.push_back({at, kept[j].first - 1, run.start});
      at = std::max(at, kept[j].first);
      const std::int64_t to = std::min(kept[j].last, run.last);
      going_.push_back({at, to, run.start});
      at = to + 1;
    }
  }
  // Covered lines outside every open run start here.
  std::size_t o = 0;
  for (const ColumnRange& range : kept) {
    while (o < open_.size() && open_[o].last < range.first) ++o;
    std::int64_t at = range.first;
    for (std::size_t p = o; at <= range.last; ++p) {
      if (p == open_.size() || open_[p].first > range.last) {
        fresh_.push_back({at, range.last, row});
        break;
      }
      if (open_[p].first > at) fresh_.push_back({at, open_[p].first - 1, row});
      at = std::max(at, open_[p].last + 1);
    }
  }
  // Both in column order, merged; neighbours of one start become one run,
  // so that the runs stay as few as the ranges.
  open_.clear();
  auto add = [this](const Run& run) {
    if (!open_.empty() && open_.back().last + 1 == run.first && open_.back().start == run.start)
      open_.back().last = run.last;
    else
      open_.push_back(run);
  };
  std::size_t a = 0, b = 0;
  while (a < going_.size() || b < fresh_.size()) {
    if (b == fresh_.size() || (a < going_.size() && going_[a].first < fresh_[b].first))
      add(going_[a++]);
    else
      add(fresh_[b++]);
  }
}

void RowLinePieces(const std::vector<ColumnRange>& below, const std::vector<ColumnRange>& above,
                   std::vector<ColumnRange>& pieces) {
  pieces.clear();
  std::size_t a = 0, b = 0;
  while (a < below.size() || b < above.size()) {
    const ColumnRange& next =
        b == above.size() || (a < below.size() && below[a].first < above[b].first) ? below[a++] : above[b++];
    // Collinear edges that meet at a column line are one line.
    if (!pieces.empty() && next.first <= pieces.back().last)
      pieces.back().last = std::max(pieces.back().last, next.last);
    else
      pieces.push_back(next);
  }
}

KeptRuns::KeptRuns(const BlockLayout& layout, CellFilter* filter)
    : filter_(filter),
      columns_(layout.columnCount()),
      rows_(layout.columnCount() > 0 ? std::max<std::int64_t>(layout.rowCount(), 0) : 0) {}

bool KeptRuns::Next() {
  if (++at_ < kept_.size()) return true;
  at_ = 0;
  kept_.clear();
  while (kept_.empty()) {
    if (filter_ == nullptr) {
      ++row_;
      kept_.push_back({0, columns_});
    } else {
      row_ = std::max(filter_->NextRow(row_ + 1), row_ + 1);
      if (row_ < rows_) filter_->KeptColumns(row_, kept_);
    }
    if (row_ >= rows_) return false;
  }
  return true;
}

bool ClippedWalk::Count(Counts& counts) {
  counts = {};
  ColumnRuns runs;
  below_.clear();
  return ForRows([&](std::int64_t r, const std::vector<ColumnRange>& kept) {
    runs.Next(r, kept, ended_);
    for (const ColumnRuns::Run& run : ended_) counts.lines += static_cast<std::uint64_t>(run.last - run.first + 1);
    RowLinePieces(below_, kept, pieces_);
    below_ = kept;
    counts.lines += pieces_.size();
    for (const ColumnRange& range : kept) counts.cells += static_cast<std::uint64_t>(range.last - range.first);
    return true;
  });
}

}  // namespace tavimo
