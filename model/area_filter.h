#pragma once
// An area, given by the edges of its boundary rings, as the CellFilter of a
// block: row by row, the columns whose cells it keeps. Each row looks only
// at the edges that reach into it (kept sorted by their lowest point), so a
// row costs what the area's boundary has there, whatever the block's size.

#include <cstddef>
#include <cstdint>
#include <vector>
#include "number/extended.h"

#include "model/block_layout.h"
#include "model/cell_filter.h"
#include "model/rotate_point.h"

namespace tavimo {

class AreaFilter final : public CellFilter {
 public:
  AreaFilter(const BlockLayout& layout, ClipMode mode);

  // One edge of the area's boundary, its ends in the block's coordinates.
  // The area is what the rings enclose by even-odd crossing: rings that do
  // not cross one another, as those of polygons that do not overlap. Edges
  // with a coordinate that is not a number are left out.
  void AddEdge(Extended x0, Extended y0, Extended x1, Extended y1);
  // Done with AddEdge: before the first row is asked for.
  void Prepare();
  bool empty() const { return edges_.empty(); }

  std::int64_t NextRow(std::int64_t row0) override;
  void KeptColumns(std::int64_t row0, std::vector<ColumnRange>& out) override;
  std::unique_ptr<CellFilter> Clone() const override { return std::make_unique<AreaFilter>(*this); }

 private:
  // An edge in cells from the starting point: u along the width axis, v
  // along the height axis (cell c of row r spans c..c+1, r..r+1); v0 <= v1.
  struct Edge {
    Extended u0, v0, u1, v1;
  };
  static Extended UAt(const Edge& e, Extended v) { return e.u0 + (v - e.v0) * (e.u1 - e.u0) / (e.v1 - e.v0); }
  // The edges that reach into row `row0`, in `active_`.
  void Advance(std::int64_t row0);
  // The columns whose cell, less a sliver at each side, meets u = a..b.
  void AddMet(std::vector<ColumnRange>& ranges, Extended a, Extended b) const;
  // The columns whose centre lies in u = a up to (not including) b.
  void AddCentres(std::vector<ColumnRange>& ranges, Extended a, Extended b) const;
  static std::int64_t Index(Extended x, bool up, std::int64_t high);

  ClipMode mode_;
  std::int64_t columns_, rows_;
  Extended startX_, startY_, widthCell_, heightCell_;
  Rotation rotation_;

  std::vector<Edge> edges_;  // by v0
  std::size_t next_ = 0;     // the first edge not yet in active_
  std::vector<std::size_t> active_;
  std::int64_t row_ = -1;
  std::vector<Extended> crossings_;
  std::vector<ColumnRange> met_, centres_;
};

}  // namespace tavimo
