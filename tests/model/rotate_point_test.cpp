#include "model/rotate_point.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavimo {
namespace {

TEST(RotatePoint, AngleZeroIsExact) {
  EXPECT_EQ(RotatePointX(1, 2, 10, 0, "hor"), 11);
  EXPECT_EQ(RotatePointY(1, 2, 10, 0, "hor"), 2);
  EXPECT_EQ(RotatePointX(1, 2, 10, 0, "ver"), 1);
  EXPECT_EQ(RotatePointY(1, 2, 10, 0, "ver"), 12);
  EXPECT_EQ(RotatePointX(0.1L, 0, 1e-30L, 0, "hor"), 0.1L + 1e-30L);
}

TEST(RotatePoint, FullTurnTakesTheTrigonometricPath) {
  const long double y = RotatePointY(0, 0, 10, 360, "hor");
  EXPECT_EQ(RotatePointX(0, 0, 10, 360, "hor"), 10);
  EXPECT_LT(y, -1e-14L);
  EXPECT_GT(y, -2e-14L);
}

TEST(RotatePoint, QuarterTurnIsNotQuiteExact) {
  const long double hx = RotatePointX(0, 0, 10, 90, "hor");
  EXPECT_NEAR(static_cast<double>(hx), -3.8e-15, 0.1e-15);
  EXPECT_EQ(RotatePointY(0, 0, 10, 90, "hor"), -10);
  EXPECT_EQ(RotatePointX(0, 0, 10, 90, "ver"), 10);
  EXPECT_NEAR(static_cast<double>(RotatePointY(0, 0, 10, 90, "ver")), -3.8e-15, 0.1e-15);
}

TEST(RotatePoint, EvaluationOrder) {
  // x0 + cos(t) * length, in extended precision, t = angle * DEG_TO_RAD.
  // volatile: the library's cosl and sinl, not the compiler's folded values.
  volatile long double angle = 30;
  const long double t = angle * 0.0174532925199433L;
  EXPECT_EQ(RotatePointX(3, 4, 10, 30, "hor"), 3 + cosl(t) * 10);
  EXPECT_EQ(RotatePointY(3, 4, 10, 30, "hor"), 4 - sinl(t) * 10);
  EXPECT_EQ(RotatePointX(3, 4, 10, 30, "ver"), 3 + sinl(t) * 10);
  EXPECT_EQ(RotatePointY(3, 4, 10, 30, "ver"), 4 + cosl(t) * 10);
}

TEST(RotatePoint, ZeroLengthAndUnknownMode) {
  EXPECT_EQ(RotatePointX(7.5L, 2, 0, 30, "hor"), 7.5L);
  EXPECT_EQ(RotatePointY(7.5L, 2, 0, 30, "ver"), 2);
  EXPECT_EQ(RotatePointX(7.5L, 2, 10, 30, "HOR"), 0);
  EXPECT_EQ(RotatePointY(7.5L, 2, 10, 0, "diag"), 0);
  EXPECT_EQ(RotatePointX(7.5L, 2, 10, 0, ""), 0);
}

TEST(Rotation, BitForBitEqualToThePointFunctions) {
  const long double lengths[] = {0, 1, -7.25L, 0.1L, 123456.789L, 1e9L};
  for (std::int32_t angle = -90; angle <= 360; ++angle) {
    const Rotation rotation(angle);
    for (long double length : lengths) {
      long double x, y;
      rotation.Hor(1.5L, -2.25L, length, x, y);
      ASSERT_EQ(x, RotatePointX(1.5L, -2.25L, length, angle, "hor")) << angle;
      ASSERT_EQ(y, RotatePointY(1.5L, -2.25L, length, angle, "hor")) << angle;
      rotation.Ver(1.5L, -2.25L, length, x, y);
      ASSERT_EQ(x, RotatePointX(1.5L, -2.25L, length, angle, "ver")) << angle;
      ASSERT_EQ(y, RotatePointY(1.5L, -2.25L, length, angle, "ver")) << angle;
    }
  }
}

}  // namespace
}  // namespace tavimo
