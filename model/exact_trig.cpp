// PLACEHOLDER: replaced by the integer-arithmetic version on its branch.
#include "model/exact_trig.h"
#include <cmath>
namespace tavimo {
CosSin CorrectCosSin(long double t) { return {cosl(t), sinl(t)}; }
long double CorrectSqrt(long double x) { return sqrtl(x); }
float DirectionDegrees(long double dx, long double dy) {
  long double d = atan2l(dy, dx) * 57.295779513082320876798L;
  if (d < 0) d += 360;
  return static_cast<float>(d);
}
}  // namespace tavimo
