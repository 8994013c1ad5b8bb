#include "export/gis_cells.h"

#include <algorithm>
#include <limits>

namespace tavimo::gis {
namespace {

// A cell's sides must be at least this part of its largest coordinate:
// 128 times the rounding step of a double (2^-53 of the value), so that
// rounding the corners bends a cell a little at most, never turns it over.
constexpr Extended kSmallestCellPerCoordinate = 0x1p-46L;

}  // namespace

Extended LargestCoordinate(const BlockLayout& layout) {
  Extended largest = 0;
  for (const std::int64_t i : {std::int64_t{0}, layout.columnCount()}) {
    for (const std::int64_t j : {std::int64_t{0}, layout.rowCount()}) {
      Extended x, y;
      layout.GridPoint(i, j, x, y);
      if (!IsFinite(x) || !IsFinite(y)) return std::numeric_limits<Extended>::infinity();
      largest = std::max({largest, Abs(x), Abs(y)});
    }
  }
  return largest;
}

std::optional<std::string> Refusal(const BlockLayout& layout) {
  if (layout.labelCount() == 0)
    return "This block has no cells with an area, so it cannot be saved in a GIS format: give the block and "
           "its cells a width and a height other than 0.";
  const Extended largest = LargestCoordinate(layout);
  if (!IsFinite(static_cast<double>(largest)))
    return "This block lies too far from the origin for a GIS format, which keeps coordinates as "
           "double-precision numbers.";
  const CellBlock& spec = layout.block();
  const Extended smallest = std::min(Abs(spec.widthCell), Abs(spec.heightCell));
  if (smallest < largest * kSmallestCellPerCoordinate)
    return "The cells of this block are too small for their distance from the origin: a GIS format keeps "
           "coordinates as double-precision numbers, which would bend them out of shape.";
  return std::nullopt;
}

}  // namespace tavimo::gis
