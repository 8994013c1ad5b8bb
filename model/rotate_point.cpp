#include "model/rotate_point.h"

#include <optional>

#include "model/exact_trig.h"
#include "model/trig_table.h"

namespace tavimo {
namespace {

std::optional<Axis> AxisOf(std::string_view mode) {
  if (mode == "hor") return Axis::kHor;
  if (mode == "ver") return Axis::kVer;
  return std::nullopt;
}

// cos and sin of t = angle * DEG_TO_RAD, correctly rounded, so every
// platform's files carry the same digits whatever its libm gives. Blocks
// turn by 0..90 and 270..360 and label positions use angle - 90, so the
// table serves them; other angles only come from direct callers and are
// worked out by the own arithmetic, which gives the table's values too.
CosSin CosSinOf(std::int32_t angle) {
  if (angle >= kTrigFirstAngle && angle <= kTrigLastAngle) {
    const TrigEntry& entry = kTrigTable[angle - kTrigFirstAngle];
    return {entry.cosine, entry.sine};
  }
  return CorrectCosSin(static_cast<Extended>(angle) * DEG_TO_RAD);
}

}  // namespace

Extended RotatePointX(Extended x0, Extended, Extended length, std::int32_t angle, Axis axis) {
  if (angle == 0) return axis == Axis::kHor ? x0 + length : x0;
  const CosSin cs = CosSinOf(angle);
  const Extended c = axis == Axis::kHor ? cs.cos : cs.sin;
  const Extended p = c * length;
  return x0 + p;
}

Extended RotatePointY(Extended, Extended y0, Extended length, std::int32_t angle, Axis axis) {
  if (angle == 0) return axis == Axis::kHor ? y0 : y0 + length;
  const CosSin cs = CosSinOf(angle);
  const Extended c = axis == Axis::kHor ? cs.sin : cs.cos;
  const Extended p = c * length;
  return axis == Axis::kHor ? y0 - p : y0 + p;
}

Extended RotatePointX(Extended x0, Extended y0, Extended length, std::int32_t angle,
                         std::string_view mode) {
  const std::optional<Axis> axis = AxisOf(mode);
  return axis ? RotatePointX(x0, y0, length, angle, *axis) : 0;
}

Extended RotatePointY(Extended x0, Extended y0, Extended length, std::int32_t angle,
                         std::string_view mode) {
  const std::optional<Axis> axis = AxisOf(mode);
  return axis ? RotatePointY(x0, y0, length, angle, *axis) : 0;
}

Rotation::Rotation(std::int32_t angle) : Rotation(Turn::WholeDegrees(angle)) {}

Rotation::Rotation(const Turn& turn) {
  CosSin cs{1.0L, 0.0L};
  switch (turn.kind) {
    case Turn::Kind::kWholeDegrees:
      if (turn.wholeDegrees == 0) return;
      cs = CosSinOf(turn.wholeDegrees);
      break;
    case Turn::Kind::kDegrees:
      cs = CorrectCosSin(turn.degrees * DEG_TO_RAD);
      break;
    case Turn::Kind::kVector: {
      const Extended length = CorrectSqrt(turn.dx * turn.dx + turn.dy * turn.dy);
      cs = {turn.dx / length, -turn.dy / length};
      break;
    }
  }
  exact_ = false;
  cos_ = cs.cos;
  sin_ = cs.sin;
}

}  // namespace tavimo
