#pragma once
// The one walk over a block's grid lines and numbered cells that the preview
// and every writer share. Items are handed over one by one as they are
// computed; nothing is collected.

#include <cstdint>

#include "model/block_spec.h"
#include "model/rotate_point.h"

namespace tavimo {

struct GridLine {
  long double startX, startY;  // the end on the edge through the starting point
  long double endX, endY;
};

struct CellLabel {
  std::int64_t column;  // from 1
  std::int64_t row;     // from 1
  long double x, y;     // insertion point of the label's text
};

class BlockLayout {
 public:
  explicit BlockLayout(const BlockSpec& spec);

  // Cells along the width and height axes: total / cell, or -1 when the
  // cell size is 0 (no lines of that family). 64-bit: -2^31 / -1 fits.
  std::int64_t columnCount() const { return columnCount_; }
  std::int64_t rowCount() const { return rowCount_; }
  // Number of grid lines and of cell labels the walks produce.
  std::uint64_t lineCount() const;
  std::uint64_t labelCount() const;

  // Column lines i = 0..columnCount, then row lines j = 0..rowCount. `visit`
  // returns false to stop the walk early (cancel); the walk returns false then.
  template <typename Visit>
  bool WalkGridLines(Visit&& visit) const;

  // Labels row by row, columns increasing within a row.
  template <typename Visit>
  bool WalkCellLabels(Visit&& visit) const;

  GridLine ColumnLine(std::int64_t i) const;
  GridLine RowLine(std::int64_t j) const;
  CellLabel Label(std::int64_t column0, std::int64_t row0) const;

 private:
  BlockSpec spec_;
  std::int64_t columnCount_;
  std::int64_t rowCount_;
  Rotation rotation_;       // the block's angle
  Rotation labelRotation_;  // angle - 90, for a label's second move
  long double labelInset_;  // min(cell sizes) / 50
};

template <typename Visit>
bool BlockLayout::WalkGridLines(Visit&& visit) const {
  for (std::int64_t i = 0; i <= columnCount_; ++i)
    if (!visit(ColumnLine(i))) return false;
  for (std::int64_t j = 0; j <= rowCount_; ++j)
    if (!visit(RowLine(j))) return false;
  return true;
}

template <typename Visit>
bool BlockLayout::WalkCellLabels(Visit&& visit) const {
  for (std::int64_t r = 0; r <= rowCount_ - 1; ++r)
    for (std::int64_t c = 0; c <= columnCount_ - 1; ++c)
      if (!visit(Label(c, r))) return false;
  return true;
}

}  // namespace tavimo
