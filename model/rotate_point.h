#pragma once
#include <cstdint>
#include <limits>
#include <string_view>
#include "number/extended.h"

#include "model/cell_block.h"

namespace tavimo {

static_assert(std::numeric_limits<Extended>::digits == 64,
              "the output digits need the 80-bit x87 format");

// Degrees to radians: pi/180 rounded to 15 significant digits, as every
// earlier file was computed with it: 0.0174532925199433 as the 80-bit
// format rounds it, written in its exact bits so that no compiler rounds it
// to another format first.
inline constexpr Extended DEG_TO_RAD = 0x8.efa351294e9d26fp-9L;

// The block's width axis and height axis.
enum class Axis { kHor, kVer };

// The X and Y of the point reached from (x0, y0) by a move of `length`
// along `axis` of a block turned by `angle` degrees. Angle 0 is exact.
Extended RotatePointX(Extended x0, Extended y0, Extended length, std::int32_t angle, Axis axis);
Extended RotatePointY(Extended x0, Extended y0, Extended length, std::int32_t angle, Axis axis);

// The same, the axis named by a word as outside callers pass it: "hor" or
// "ver"; any other word gives 0.
Extended RotatePointX(Extended x0, Extended y0, Extended length,
                         std::int32_t angle, std::string_view mode);
Extended RotatePointY(Extended x0, Extended y0, Extended length,
                         std::int32_t angle, std::string_view mode);

// The same moves with cos and sin of the angle computed once: bit-for-bit
// equal to the functions above, for loops that move many times at one angle.
// A turn by degrees with a fraction takes cos and sin of t = angle *
// DEG_TO_RAD, correctly rounded; a turn along a vector (dx, dy) takes
// dx / length and -dy / length, length = sqrt(dx * dx + dy * dy), each
// operation correctly rounded. Only a whole angle of 0 moves exactly.
class Rotation {
 public:
  explicit Rotation(std::int32_t angle);
  explicit Rotation(const Turn& turn);
  // The width axis is (cosine, -sine), the height axis (sine, cosine).
  Extended cosine() const { return cos_; }
  Extended sine() const { return sin_; }
  // Move along the width axis ("hor") or the height axis ("ver"). Inline:
  // called for every point of every block, with 80-bit arguments.
  void Hor(Extended x0, Extended y0, Extended length, Extended& x, Extended& y) const {
    Extended dx, dy;
    HorTerms(length, dx, dy);
    x = x0 + dx;
    y = y0 - dy;
  }
  // Hor's move as the terms it adds: x0 + dx, y0 - dy.
  void HorTerms(Extended length, Extended& dx, Extended& dy) const {
    if (exact_) {
      dx = length;
      dy = 0;  // y0 - 0 is y0, -0 included
      return;
    }
    dx = cos_ * length;
    dy = sin_ * length;
  }
  void Ver(Extended x0, Extended y0, Extended length, Extended& x, Extended& y) const {
    if (exact_) {
      x = x0;
      y = y0 + length;
      return;
    }
    x = x0 + sin_ * length;
    y = y0 + cos_ * length;
  }

 private:
  bool exact_ = true;
  Extended cos_ = 1.0L;
  Extended sin_ = 0.0L;
};

}  // namespace tavimo
