#pragma once
#include <cstdint>
#include <limits>

namespace tavimo {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the output digits need the 80-bit x87 long double");

// Degrees to radians: pi/180 rounded to 15 significant digits, as every
// earlier file was computed with it.
inline constexpr long double DEG_TO_RAD = 0.0174532925199433L;

// The block's width axis and height axis.
enum class Axis { kHor, kVer };

// The X and Y of the point reached from (x0, y0) by a move of `length`
// along an axis of a block turned by `angle` degrees. Angle 0 is exact.
long double RotatePointX(long double x0, long double y0, long double length,
                         std::int32_t angle, Axis axis);
long double RotatePointY(long double x0, long double y0, long double length,
                         std::int32_t angle, Axis axis);

// The same moves with cos and sin of the angle computed once: bit-for-bit
// equal to the functions above, for loops that move many times at one angle.
class Rotation {
 public:
  explicit Rotation(std::int32_t angle);
  std::int32_t angle() const { return angle_; }
  // Move along the width axis (Hor) or the height axis (Ver). Inline:
  // called for every point of every block, with 80-bit arguments.
  void Hor(long double x0, long double y0, long double length, long double& x, long double& y) const {
    long double dx, dy;
    HorTerms(length, dx, dy);
    x = x0 + dx;
    y = y0 - dy;
  }
  // Hor's move as the terms it adds: x0 + dx, y0 - dy.
  void HorTerms(long double length, long double& dx, long double& dy) const {
    if (angle_ == 0) {
      dx = length;
      dy = 0;  // y0 - 0 is y0, -0 included
      return;
    }
    dx = cos_ * length;
    dy = sin_ * length;
  }
  void Ver(long double x0, long double y0, long double length, long double& x, long double& y) const {
    if (angle_ == 0) {
      x = x0;
      y = y0 + length;
      return;
    }
    x = x0 + sin_ * length;
    y = y0 + cos_ * length;
  }

 private:
  std::int32_t angle_;
  long double cos_ = 1.0L;
  long double sin_ = 0.0L;
};

}  // namespace tavimo
