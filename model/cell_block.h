#pragma once
#include <cstdint>

namespace tavimo {

// A validated block, as CreateCells hands it on: totals are whole multiples
// of the cell sizes (where those are not 0), the angle is 0..90 for a
// clockwise turn or 270..360 for a counter-clockwise one.
struct BlockSpec {
  long double startX = 0;
  long double startY = 0;
  std::int32_t widthTotal = 0;
  std::int32_t heightTotal = 0;
  std::int32_t widthCell = 0;
  std::int32_t heightCell = 0;
  std::int32_t angle = 0;
};

}  // namespace tavimo
