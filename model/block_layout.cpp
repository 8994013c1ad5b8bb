#include "model/block_layout.h"

#include <algorithm>
#include <cmath>

#include "model/rotate_point.h"
#include "model/text_to_number.h"

namespace tavimo {
namespace {

// total / cell, rounded; a zero cell size counts as negative so that the
// walks produce nothing for that family.
std::int64_t CountOf(std::int32_t total, std::int32_t cell) {
  if (cell == 0) return -1;
  const long double q = static_cast<long double>(total) / static_cast<long double>(cell);
  return static_cast<std::int64_t>(RoundHalfEven(q));
}

std::uint64_t LinesOf(std::int64_t count) { return count >= 0 ? static_cast<std::uint64_t>(count) + 1 : 0; }

}  // namespace

BlockLayout::BlockLayout(const BlockSpec& spec)
    : spec_(spec),
      columnCount_(CountOf(spec.widthTotal, spec.widthCell)),
      rowCount_(CountOf(spec.heightTotal, spec.heightCell)),
      rotation_(spec.angle),
      labelRotation_(spec.angle - 90),
      labelInset_(static_cast<long double>(std::min(spec.widthCell, spec.heightCell)) / 50) {}

std::uint64_t BlockLayout::lineCount() const { return LinesOf(columnCount_) + LinesOf(rowCount_); }

std::uint64_t BlockLayout::labelCount() const {
  if (columnCount_ <= 0 || rowCount_ <= 0) return 0;
  return static_cast<std::uint64_t>(columnCount_) * static_cast<std::uint64_t>(rowCount_);
}

GridLine BlockLayout::ColumnLine(std::int64_t i) const {
  GridLine line;
  const long double length = static_cast<long double>(spec_.widthCell) * static_cast<long double>(i);
  rotation_.Hor(spec_.startX, spec_.startY, length, line.startX, line.startY);
  rotation_.Ver(line.startX, line.startY, spec_.heightTotal, line.endX, line.endY);
  return line;
}

GridLine BlockLayout::RowLine(std::int64_t j) const {
  GridLine line;
  const long double length = static_cast<long double>(spec_.heightCell) * static_cast<long double>(j);
  rotation_.Ver(spec_.startX, spec_.startY, length, line.startX, line.startY);
  rotation_.Hor(line.startX, line.startY, spec_.widthTotal, line.endX, line.endY);
  return line;
}

CellLabel BlockLayout::Label(std::int64_t column0, std::int64_t row0) const {
  CellLabel label;
  label.column = column0 + 1;
  label.row = row0 + 1;
  const long double m = labelInset_;
  long double ax, ay;
  rotation_.Hor(spec_.startX, spec_.startY,
                m + static_cast<long double>(spec_.widthCell) * static_cast<long double>(column0), ax, ay);
  // The second move goes along the width axis of the angle less 90 degrees,
  // not along the height axis: the written digits depend on this form.
  labelRotation_.Hor(ax, ay, m + static_cast<long double>(spec_.heightCell) * static_cast<long double>(row0),
                     label.x, label.y);
  return label;
}

}  // namespace tavimo
