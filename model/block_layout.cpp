#include "model/block_layout.h"

#include <algorithm>
#include <cmath>

#include "model/rotate_point.h"
#include "number/text_to_number.h"

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

}  // namespace tavimo
