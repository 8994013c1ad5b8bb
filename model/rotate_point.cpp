#include "model/rotate_point.h"

#include <cmath>

namespace tavimo {
namespace {

enum class Axis { kHor, kVer, kNone };

Axis AxisOf(std::string_view mode) {
  if (mode == "hor") return Axis::kHor;
  if (mode == "ver") return Axis::kVer;
  return Axis::kNone;
}

long double Radians(std::int32_t angle) { return static_cast<long double>(angle) * DEG_TO_RAD; }

}  // namespace

long double RotatePointX(long double x0, long double, long double length, std::int32_t angle,
                         std::string_view mode) {
  const Axis axis = AxisOf(mode);
  if (axis == Axis::kNone) return 0;
  if (angle == 0) return axis == Axis::kHor ? x0 + length : x0;
  const long double t = Radians(angle);
  const long double c = axis == Axis::kHor ? cosl(t) : sinl(t);
  const long double p = c * length;
  return x0 + p;
}

long double RotatePointY(long double, long double y0, long double length, std::int32_t angle,
                         std::string_view mode) {
  const Axis axis = AxisOf(mode);
  if (axis == Axis::kNone) return 0;
  if (angle == 0) return axis == Axis::kHor ? y0 : y0 + length;
  const long double t = Radians(angle);
  const long double c = axis == Axis::kHor ? sinl(t) : cosl(t);
  const long double p = c * length;
  return axis == Axis::kHor ? y0 - p : y0 + p;
}

Rotation::Rotation(std::int32_t angle) : angle_(angle) {
  if (angle != 0) {
    const long double t = Radians(angle);
    cos_ = cosl(t);
    sin_ = sinl(t);
  }
}

}  // namespace tavimo
