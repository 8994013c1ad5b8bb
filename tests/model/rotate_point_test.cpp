#include "model/rotate_point.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/exact_trig.h"
#include "model/trig_table.h"

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
  // x0 + cos(t) * length, in extended precision, with the table's cos and
  // sin (at 83 its cos is one unit away from glibc's cosl).
  for (std::int32_t angle : {30, 83, 352}) {
    const TrigEntry& trig = kTrigTable[angle - kTrigFirstAngle];
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, "hor"), 3 + trig.cosine * 10) << angle;
    EXPECT_EQ(RotatePointY(3, 4, 10, angle, "hor"), 4 - trig.sine * 10) << angle;
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, "ver"), 3 + trig.sine * 10) << angle;
    EXPECT_EQ(RotatePointY(3, 4, 10, angle, "ver"), 4 + trig.cosine * 10) << angle;
  }
}

// No libm there either: the own correctly rounded cos and sin, which lie
// within a unit in the last place of the library's.
TEST(RotatePoint, OutsideTheTableTheOwnCosSinServes) {
  for (std::int32_t angle : {-91, 361, 1000, -100000}) {
    volatile std::int32_t a = angle;  // computed at run time, not folded
    const long double t = a * DEG_TO_RAD;
    const CosSin cs = CorrectCosSin(t);
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, "hor"), 3 + cs.cos * 10) << angle;
    EXPECT_EQ(RotatePointY(3, 4, 10, angle, "hor"), 4 - cs.sin * 10) << angle;
    EXPECT_LE(std::fabs(cs.cos - cosl(t)), std::nextafterl(1.0L, 2.0L) - 1.0L) << angle;
    EXPECT_LE(std::fabs(cs.sin - sinl(t)), std::nextafterl(1.0L, 2.0L) - 1.0L) << angle;
  }
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
