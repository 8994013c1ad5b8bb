#include "model/rotate_point.h"

#include <cmath>

#include "model/trig_table.h"

namespace tavimo {
namespace {

// cos and sin of t = angle * DEG_TO_RAD, from the table: correctly rounded,
// so every platform's files carry the same digits whatever its libm gives.
// Blocks turn by 0..90 and 270..360 and label positions use angle - 90, so
// the table covers them all; other angles only come from direct callers
// and fall back to the library's cosl and sinl.
struct CosSin {
  long double cos;
  long double sin;
};

CosSin CosSinOf(std::int32_t angle) {
  if (angle >= kTrigFirstAngle && angle <= kTrigLastAngle) {
    const TrigEntry& entry = kTrigTable[angle - kTrigFirstAngle];
    return {entry.cosine, entry.sine};
  }
  const long double t = static_cast<long double>(angle) * DEG_TO_RAD;
  return {cosl(t), sinl(t)};
}

}  // namespace

long double RotatePointX(long double x0, long double, long double length, std::int32_t angle, Axis axis) {
  if (angle == 0) return axis == Axis::kHor ? x0 + length : x0;
  const CosSin cs = CosSinOf(angle);
  const long double c = axis == Axis::kHor ? cs.cos : cs.sin;
  const long double p = c * length;
  return x0 + p;
}

long double RotatePointY(long double, long double y0, long double length, std::int32_t angle, Axis axis) {
  if (angle == 0) return axis == Axis::kHor ? y0 : y0 + length;
  const CosSin cs = CosSinOf(angle);
  const long double c = axis == Axis::kHor ? cs.sin : cs.cos;
  const long double p = c * length;
  return axis == Axis::kHor ? y0 - p : y0 + p;
}

Rotation::Rotation(std::int32_t angle) : angle_(angle) {
  if (angle != 0) {
    const CosSin cs = CosSinOf(angle);
    cos_ = cs.cos;
    sin_ = cs.sin;
  }
}

}  // namespace tavimo
