#pragma once
// The one walk over a block's grid lines and numbered cells that the preview
// and every writer share. Items are handed over one by one as they are
// computed; nothing is collected.

#include <algorithm>
#include <cstdint>
#include <vector>
#include "number/extended.h"

#include "model/cell_block.h"
#include "model/rotate_point.h"

namespace tavimo {

struct GridLine {
  Extended startX, startY;  // the end on the edge through the starting point
  Extended endX, endY;
};

struct CellLabel {
  std::int64_t column;  // from 1
  std::int64_t row;     // from 1
  Extended x, y;     // insertion point of the label's text
};

// A label's point is two moves: the first depends on its column only, the
// second on its row only. Walks over many cells work each out once.
struct LabelColumn {
  Extended x, y;  // the point after the first move
};
struct LabelRowMove {
  Extended dx, dy;  // the second move: x + dx, y - dy
};

class BlockLayout {
 public:
  explicit BlockLayout(const CellBlock& block);
  const CellBlock& block() const { return block_; }

  // Cells along the width and height axes: total / cell, or negative when
  // there are no lines of that family. 64-bit: -2^31 / -1 fits.
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
  // Pieces of them: column line i from row line `from` to row line `to`,
  // row line j from column line `from` to column line `to`, computed as the
  // whole line is, so that a piece from edge to edge is that line.
  GridLine ColumnPart(std::int64_t i, std::int64_t from, std::int64_t to) const;
  GridLine RowPart(std::int64_t j, std::int64_t from, std::int64_t to) const;
  CellLabel Label(std::int64_t column0, std::int64_t row0) const;
  // Label's two moves apart, and their sum: the same operations in the same
  // order, so the same bits.
  LabelColumn FirstMove(std::int64_t column0) const;
  LabelRowMove SecondMove(std::int64_t row0) const;
  static CellLabel Join(const LabelColumn& first, const LabelRowMove& second, std::int64_t column0,
                        std::int64_t row0) {
    return {column0 + 1, row0 + 1, first.x + second.dx, first.y - second.dy};
  }
  // Where column line i meets row line j: a move of widthCell * i along the
  // width axis, then heightCell * j along the height axis, the way the
  // column lines are computed (GridPoint(i, 0) is ColumnLine(i)'s start).
  void GridPoint(std::int64_t i, std::int64_t j, Extended& x, Extended& y) const;

 private:
  CellBlock block_;
  std::int64_t columnCount_;
  std::int64_t rowCount_;
  Rotation rotation_;       // the block's angle
  Rotation labelRotation_;  // angle - 90, for a label's second move
  // Where a label sits in its cell, from the cell's corner nearest the
  // starting point: min(cell sizes) / 50 along both axes, or half the cell.
  Extended labelU_;
  Extended labelV_;
};

// Inline, with the walks: every point of every block passes through here.
inline GridLine BlockLayout::ColumnLine(std::int64_t i) const {
  GridLine line;
  const Extended length = block_.widthCell * static_cast<Extended>(i);
  rotation_.Hor(block_.startX, block_.startY, length, line.startX, line.startY);
  rotation_.Ver(line.startX, line.startY, block_.heightTotal, line.endX, line.endY);
  return line;
}

inline GridLine BlockLayout::RowLine(std::int64_t j) const {
  GridLine line;
  const Extended length = block_.heightCell * static_cast<Extended>(j);
  rotation_.Ver(block_.startX, block_.startY, length, line.startX, line.startY);
  rotation_.Hor(line.startX, line.startY, block_.widthTotal, line.endX, line.endY);
  return line;
}

// A point of a column line from its start, or of a row line: the start
// itself at 0 (a move of 0 would turn a -0 into 0), the line's own end at
// the far edge, else a move of whole cells.
inline GridLine BlockLayout::ColumnPart(std::int64_t i, std::int64_t from, std::int64_t to) const {
  Extended x, y;
  rotation_.Hor(block_.startX, block_.startY, block_.widthCell * static_cast<Extended>(i), x, y);
  GridLine line{x, y, x, y};
  if (from != 0) rotation_.Ver(x, y, block_.heightCell * static_cast<Extended>(from), line.startX, line.startY);
  rotation_.Ver(x, y, to == rowCount_ ? block_.heightTotal : block_.heightCell * static_cast<Extended>(to),
                line.endX, line.endY);
  return line;
}

inline GridLine BlockLayout::RowPart(std::int64_t j, std::int64_t from, std::int64_t to) const {
  Extended x, y;
  rotation_.Ver(block_.startX, block_.startY, block_.heightCell * static_cast<Extended>(j), x, y);
  GridLine line{x, y, x, y};
  if (from != 0) rotation_.Hor(x, y, block_.widthCell * static_cast<Extended>(from), line.startX, line.startY);
  rotation_.Hor(x, y, to == columnCount_ ? block_.widthTotal : block_.widthCell * static_cast<Extended>(to),
                line.endX, line.endY);
  return line;
}

inline LabelColumn BlockLayout::FirstMove(std::int64_t column0) const {
  LabelColumn first;
  rotation_.Hor(block_.startX, block_.startY,
                labelU_ + block_.widthCell * static_cast<Extended>(column0), first.x,
                first.y);
  return first;
}

// The second move goes along the width axis of the angle less 90 degrees,
// not along the height axis: the written digits depend on this form.
inline LabelRowMove BlockLayout::SecondMove(std::int64_t row0) const {
  LabelRowMove second;
  labelRotation_.HorTerms(labelV_ + block_.heightCell * static_cast<Extended>(row0),
                          second.dx, second.dy);
  return second;
}

inline CellLabel BlockLayout::Label(std::int64_t column0, std::int64_t row0) const {
  return Join(FirstMove(column0), SecondMove(row0), column0, row0);
}

inline void BlockLayout::GridPoint(std::int64_t i, std::int64_t j, Extended& x, Extended& y) const {
  Extended bx, by;
  rotation_.Hor(block_.startX, block_.startY, block_.widthCell * static_cast<Extended>(i),
                bx, by);
  rotation_.Ver(bx, by, block_.heightCell * static_cast<Extended>(j), x, y);
}

template <typename Visit>
bool BlockLayout::WalkGridLines(Visit&& visit) const {
  for (std::int64_t i = 0; i <= columnCount_; ++i)
    if (!visit(ColumnLine(i))) return false;
  for (std::int64_t j = 0; j <= rowCount_; ++j)
    if (!visit(RowLine(j))) return false;
  return true;
}

// Cell labels by position in the walk, each column's first move worked out
// once for all rows (up to kCachedColumns columns, so that memory stays
// small for any block) and each row's second move once for the row.
class LabelWalk {
 public:
  static constexpr std::int64_t kCachedColumns = 1 << 14;

  explicit LabelWalk(const BlockLayout& layout) : layout_(&layout) {}
  const BlockLayout* layout() const { return layout_; }

  CellLabel At(std::int64_t column0, std::int64_t row0) {
    if (row0 != row_) {
      row_ = row0;
      second_ = layout_->SecondMove(row0);
    }
    if (column0 >= kCachedColumns) return BlockLayout::Join(layout_->FirstMove(column0), second_, column0, row0);
    if (columns_.empty()) {
      const std::int64_t count = std::min(layout_->columnCount(), kCachedColumns);
      columns_.reserve(static_cast<std::size_t>(count));
      for (std::int64_t c = 0; c < count; ++c) columns_.push_back(layout_->FirstMove(c));
    }
    return BlockLayout::Join(columns_[static_cast<std::size_t>(column0)], second_, column0, row0);
  }

 private:
  const BlockLayout* layout_;
  std::vector<LabelColumn> columns_;
  std::int64_t row_ = -1;
  LabelRowMove second_{};
};

template <typename Visit>
bool BlockLayout::WalkCellLabels(Visit&& visit) const {
  LabelWalk walk(*this);
  for (std::int64_t r = 0; r <= rowCount_ - 1; ++r)
    for (std::int64_t c = 0; c <= columnCount_ - 1; ++c)
      if (!visit(walk.At(c, r))) return false;
  return true;
}

}  // namespace tavimo
