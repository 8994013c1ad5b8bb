#include "model/cell_block.h"

#include "model/exact_trig.h"
#include "number/text_to_number.h"

namespace tavimo {

Turn Turn::Degrees(Extended angle) {
  const Extended whole = RoundHalfEven(angle);
  if (whole == angle && whole >= -2147483648.0L && whole <= 2147483647.0L)
    return WholeDegrees(static_cast<std::int32_t>(whole));
  return {Kind::kDegrees, 0, angle, 0, 0};
}

Turn Turn::LessNinety() const {
  switch (kind) {
    case Kind::kWholeDegrees: return WholeDegrees(wholeDegrees - 90);
    case Kind::kDegrees: return Degrees(degrees - 90);
    case Kind::kVector: break;
  }
  // (cos(a - 90), sin(a - 90)) = (sin a, -cos a): the vector turned by 90
  // degrees counter-clockwise, whose length is worked out from the same
  // two squares.
  return Vector(-dy, dx);
}

std::int64_t CountOfCells(std::int32_t total, std::int32_t cell) {
  if (cell == 0) return -1;
  const Extended q = static_cast<Extended>(total) / static_cast<Extended>(cell);
  return static_cast<std::int64_t>(RoundHalfEven(q));
}

double GisLabelAngle(const CellBlock& block) {
  const Turn& turn = block.turn;
  Extended clockwise = 0;
  switch (turn.kind) {
    case Turn::Kind::kWholeDegrees: {
      const std::int64_t a = turn.wholeDegrees % 360;
      return static_cast<double>(a < 0 ? a + 360 : a);
    }
    case Turn::Kind::kDegrees: clockwise = turn.degrees; break;
    // The DXF's counter-clockwise direction, turned back.
    case Turn::Kind::kVector: clockwise = 360 - static_cast<Extended>(DirectionDegrees(turn.dx, turn.dy)); break;
  }
  if (!(clockwise > -720 && clockwise < 720)) return 0;  // not a turn ReadBlock gives
  // Exact but where a tiny negative angle rounds to 360, which is 0.
  while (clockwise >= 360) clockwise -= 360;
  while (clockwise < 0) clockwise += 360;
  const double angle = static_cast<double>(clockwise);
  return angle >= 360 ? 0 : angle;
}

CellBlock::CellBlock(const BlockSpec& spec)
    : startX(spec.startX),
      startY(spec.startY),
      widthTotal(spec.widthTotal),
      heightTotal(spec.heightTotal),
      widthCell(spec.widthCell),
      heightCell(spec.heightCell),
      columnCount(CountOfCells(spec.widthTotal, spec.widthCell)),
      rowCount(CountOfCells(spec.heightTotal, spec.heightCell)),
      turn(Turn::WholeDegrees(spec.angle)) {}

}  // namespace tavimo
