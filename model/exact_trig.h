#pragma once
// PLACEHOLDER: replaced by the integer-arithmetic version on its branch.
namespace tavimo {
struct CosSin {
  long double cos;
  long double sin;
};
CosSin CorrectCosSin(long double t);
long double CorrectSqrt(long double x);
float DirectionDegrees(long double dx, long double dy);
}  // namespace tavimo
