#pragma once
// cos, sin, square root and a vector's direction of 80-bit values, each
// correctly rounded, computed by this project's own integer arithmetic.
//
// Guaranteed, for every input:
// - CorrectCosSin(t): cos t and sin t, each the Extended nearest the
//   exact value for the exact 80-bit t (ties to even), for every finite t
//   (the reduction by pi/2 holds 2/pi to enough bits for |t| up to the
//   largest Extended). |t| < 2^-32 gives {1, t}, so sin keeps the sign
//   of a zero; NaN or an infinity gives {NaN, NaN}.
// - CorrectSqrt(x): the Extended nearest sqrt(x), subnormal x included;
//   sqrt(+-0) = +-0, sqrt(+inf) = +inf, NaN or x < 0 gives NaN.
// - DirectionDegrees(dx, dy): the direction of the vector (dx, dy),
//   counter-clockwise from +x, in degrees in [0, 360), rounded to the
//   nearest float (ties to even, subnormals included). A direction less
//   than half a float step (2^-16 degree) below 360 rounds to 360.0f, and
//   that is returned. (0, 0) gives 0, the sign of a zero does not count,
//   and a NaN or infinite component gives NaN.
//
// The bits do not depend on the platform's libm, its Extended functions
// or the CPU: only exact operations touch Extended values (frexp, ldexp,
// comparisons, integer conversions), and everything else is unsigned 64-bit
// integer arithmetic, whose one platform-dependent step (the 64 x 64 ->
// 128-bit product) gives the same bits either way. Each result is worked
// at 128 bits with a proven error bound and kept only when the whole
// interval it allows rounds to one value; otherwise the work is redone at
// 256, 512 and 1024 bits (Ziv's strategy). 128 bits decide nearly every
// input; a t next to a multiple of pi/2, whose reduced argument keeps few
// of them, takes 256 (every input of the checks was decided by then). No
// Extended input is expected to need more than 1024; should one, the
// rounding of the 1024-bit value is returned.
//
// Speed: two or three microseconds per call, more on the rare retries.

#include <cstdint>
#include "number/extended.h"

namespace tavimo {

struct CosSin {
  Extended cos;
  Extended sin;
};

CosSin CorrectCosSin(Extended t);
Extended CorrectSqrt(Extended x);
float DirectionDegrees(Extended dx, Extended dy);

// For the accuracy checks (tests/model/trig_probe.cpp), not for the
// product: how near cos t and sin t lie to a halfway point between two
// Extendeds, as the number of bits after the rounding bit that continue
// a halfway pattern (1 then zeros, or 0 then ones). A correct rounding
// needs about 66 + that many correct bits. Counted at 256 bits, as far as
// that precision is sure; 0 for |t| < 2^-32 and non-finite t.
struct CosSinHalfwayBits {
  int cos;
  int sin;
};
CosSinHalfwayBits CosSinHalfwayRun(Extended t);

namespace exact_trig_detail {

// The 64 x 64 -> 128-bit product: unsigned __int128 where the compiler has
// it, 32-bit halves elsewhere. Both forms are built everywhere so that the
// tests compare them.
struct Wide {
  std::uint64_t hi;
  std::uint64_t lo;
};
Wide MulWide(std::uint64_t a, std::uint64_t b);
Wide MulWideHalves(std::uint64_t a, std::uint64_t b);

}  // namespace exact_trig_detail
}  // namespace tavimo
