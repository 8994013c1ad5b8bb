#include "model/area_filter.h"

#include <algorithm>

namespace tavimo {
namespace {

// A billionth of a cell: how far an area may reach into a cell, or a cell
// out of the area, and count as not at all. Coordinates of an area drawn
// along the grid lines come back from a turn and from double precision
// that far off; a cell is kept or not by the area, not by its rounding.
constexpr Extended kSliver = 0x8.9705f4136b4a597p-33L;  // 1e-9, exactly as x87 rounds it

// Sorted by their first column, overlapping or touching ranges joined.
void Join(std::vector<ColumnRange>& ranges) {
  std::sort(ranges.begin(), ranges.end(), [](const ColumnRange& a, const ColumnRange& b) { return a.first < b.first; });
  std::size_t kept = 0;
  for (const ColumnRange& range : ranges) {
    if (kept > 0 && range.first <= ranges[kept - 1].last)
      ranges[kept - 1].last = std::max(ranges[kept - 1].last, range.last);
    else
      ranges[kept++] = range;
  }
  ranges.resize(kept);
}

// `from` less `less`, both joined; into `out`.
void Subtract(const std::vector<ColumnRange>& from, const std::vector<ColumnRange>& less,
              std::vector<ColumnRange>& out) {
  std::size_t k = 0;
  for (const ColumnRange& range : from) {
    std::int64_t at = range.first;
    while (k < less.size() && less[k].last <= at) ++k;
    for (std::size_t j = k; j < less.size() && less[j].first < range.last && at < range.last; ++j) {
      if (less[j].first > at) out.push_back({at, less[j].first});
      at = std::max(at, less[j].last);
    }
    if (at < range.last) out.push_back({at, range.last});
  }
}

}  // namespace

AreaFilter::AreaFilter(const BlockLayout& layout, ClipMode mode)
    : mode_(mode),
      columns_(std::max<std::int64_t>(layout.columnCount(), 0)),
      rows_(std::max<std::int64_t>(layout.rowCount(), 0)),
      startX_(layout.block().startX),
      startY_(layout.block().startY),
      widthCell_(layout.block().widthCell),
      heightCell_(layout.block().heightCell),
      rotation_(layout.block().turn) {}

void AreaFilter::AddEdge(Extended x0, Extended y0, Extended x1, Extended y1) {
  // Along the width axis (cos, -sin) and the height axis (sin, cos), in cells.
  const Extended c = rotation_.cosine(), s = rotation_.sine();
  auto toCells = [&](Extended x, Extended y, Extended& u, Extended& v) {
    const Extended dx = x - startX_, dy = y - startY_;
    u = (dx * c - dy * s) / widthCell_;
    v = (dx * s + dy * c) / heightCell_;
  };
  Edge e;
  toCells(x0, y0, e.u0, e.v0);
  toCells(x1, y1, e.u1, e.v1);
  for (const Extended value : {e.u0, e.v0, e.u1, e.v1})
    if (!(value - value == 0)) return;  // not a number, or infinite
  if (e.v0 > e.v1) {
    std::swap(e.u0, e.u1);
    std::swap(e.v0, e.v1);
  }
  if (e.u0 == e.u1 && e.v0 == e.v1) return;
  edges_.push_back(e);
}

void AreaFilter::Prepare() {
  std::sort(edges_.begin(), edges_.end(), [](const Edge& a, const Edge& b) { return a.v0 < b.v0; });
  row_ = -1;
  next_ = 0;
  active_.clear();
}

// floor(x) or ceil(x) as an index: -1 below 0, `high` above it; without
// libm.
std::int64_t AreaFilter::Index(Extended x, bool up, std::int64_t high) {
  if (!(x > -1)) return -1;
  if (x >= static_cast<Extended>(high)) return high;
  const auto whole = static_cast<std::int64_t>(x);  // toward 0
  const auto back = static_cast<Extended>(whole);
  if (up) return back < x ? whole + 1 : whole;
  return back > x ? whole - 1 : whole;
}

void AreaFilter::Advance(std::int64_t row0) {
  if (row0 < row_) {
    next_ = 0;
    active_.clear();
  }
  row_ = row0;
  const Extended bottom = static_cast<Extended>(row0), top = bottom + 1;
  while (next_ < edges_.size() && edges_[next_].v0 <= top) active_.push_back(next_++);
  // Edges below the row are done with, for this row and every later one.
  std::erase_if(active_, [&](std::size_t k) { return edges_[k].v1 <= bottom; });
}

std::int64_t AreaFilter::NextRow(std::int64_t row0) {
  Advance(row0);
  if (!active_.empty()) return row0;
  if (next_ == edges_.size()) return rows_;
  return std::max(row0, Index(edges_[next_].v0, false, rows_));
}

void AreaFilter::AddMet(std::vector<ColumnRange>& ranges, Extended a, Extended b) const {
  // Column c spans c + sliver .. c + 1 - sliver.
  const std::int64_t first = Index(a - 1 + kSliver, true, columns_);
  const std::int64_t last = Index(b - kSliver, false, columns_) + 1;
  const std::int64_t from = std::max<std::int64_t>(first, 0), to = std::min(last, columns_);
  if (from < to) ranges.push_back({from, to});
}

void AreaFilter::AddCentres(std::vector<ColumnRange>& ranges, Extended a, Extended b) const {
  // a <= c + 0.5 < b
  const std::int64_t first = Index(a - 0.5L, true, columns_);
  const std::int64_t last = Index(b - 0.5L, true, columns_);
  const std::int64_t from = std::max<std::int64_t>(first, 0), to = std::min(last, columns_);
  if (from < to) ranges.push_back({from, to});
}

void AreaFilter::KeptColumns(std::int64_t row0, std::vector<ColumnRange>& out) {
  out.clear();
  Advance(row0);
  if (active_.empty() || row0 < 0 || row0 >= rows_) return;
  const Extended bottom = static_cast<Extended>(row0);
  const Extended low = bottom + kSliver, high = bottom + 1 - kSliver, middle = bottom + 0.5L;
  crossings_.clear();
  met_.clear();
  for (const std::size_t k : active_) {
    const Edge& e = edges_[k];
    // Half-open, so that a vertex on the middle line counts once.
    if (e.v0 <= middle && middle < e.v1) crossings_.push_back(UAt(e, middle));
    if (mode_ == ClipMode::kCentre || e.v1 < low || e.v0 > high) continue;
    // The columns the edge passes through, within the row less its slivers.
    Extended a = e.u0, b = e.u1;
    if (e.v0 < e.v1) {
      if (e.v0 < low) a = UAt(e, low);
      if (e.v1 > high) b = UAt(e, high);
    }
    if (a > b) std::swap(a, b);
    AddMet(met_, a, b);
  }
  std::sort(crossings_.begin(), crossings_.end());
  // The middle line is inside the area between crossings 0 and 1, 2 and 3...
  centres_.clear();
  for (std::size_t k = 0; k + 1 < crossings_.size(); k += 2) {
    if (mode_ == ClipMode::kTouches)
      AddMet(met_, crossings_[k], crossings_[k + 1]);
    else
      AddCentres(centres_, crossings_[k], crossings_[k + 1]);
  }
  switch (mode_) {
    // A cell the boundary does not pass through is wholly in or out, as
    // its centre is; one it passes through has parts in and out.
    case ClipMode::kTouches:
      Join(met_);
      out.swap(met_);
      break;
    case ClipMode::kCentre:
      Join(centres_);
      out.swap(centres_);
      break;
    case ClipMode::kInside:
      Join(centres_);
      Join(met_);
      Subtract(centres_, met_, out);
      break;
  }
}

}  // namespace tavimo
