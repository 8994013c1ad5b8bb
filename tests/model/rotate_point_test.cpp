#include "model/rotate_point.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/trig_table.h"

namespace tavimo {
namespace {

TEST(RotatePoint, AngleZeroIsExact) {
  EXPECT_EQ(RotatePointX(1, 2, 10, 0, Axis::kHor), 11);
  EXPECT_EQ(RotatePointY(1, 2, 10, 0, Axis::kHor), 2);
  EXPECT_EQ(RotatePointX(1, 2, 10, 0, Axis::kVer), 1);
  EXPECT_EQ(RotatePointY(1, 2, 10, 0, Axis::kVer), 12);
  EXPECT_EQ(RotatePointX(0.1L, 0, 1e-30L, 0, Axis::kHor), 0.1L + 1e-30L);
}

TEST(RotatePoint, FullTurnTakesTheTrigonometricPath) {
  const long double y = RotatePointY(0, 0, 10, 360, Axis::kHor);
  EXPECT_EQ(RotatePointX(0, 0, 10, 360, Axis::kHor), 10);
  EXPECT_LT(y, -1e-14L);
  EXPECT_GT(y, -2e-14L);
}

TEST(RotatePoint, QuarterTurnIsNotQuiteExact) {
  const long double hx = RotatePointX(0, 0, 10, 90, Axis::kHor);
  EXPECT_NEAR(static_cast<double>(hx), -3.8e-15, 0.1e-15);
  EXPECT_EQ(RotatePointY(0, 0, 10, 90, Axis::kHor), -10);
  EXPECT_EQ(RotatePointX(0, 0, 10, 90, Axis::kVer), 10);
  EXPECT_NEAR(static_cast<double>(RotatePointY(0, 0, 10, 90, Axis::kVer)), -3.8e-15, 0.1e-15);
}

TEST(RotatePoint, EvaluationOrder) {
  // x0 + cos(t) * length, in extended precision, with the table's cos and
  // sin (at 83 its cos is one unit away from glibc's cosl).
  for (std::int32_t angle : {30, 83, 352}) {
    const TrigEntry& trig = kTrigTable[angle - kTrigFirstAngle];
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, Axis::kHor), 3 + trig.cosine * 10) << angle;
    EXPECT_EQ(RotatePointY(3, 4, 10, angle, Axis::kHor), 4 - trig.sine * 10) << angle;
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, Axis::kVer), 3 + trig.sine * 10) << angle;
    EXPECT_EQ(RotatePointY(3, 4, 10, angle, Axis::kVer), 4 + trig.cosine * 10) << angle;
  }
}

TEST(RotatePoint, OutsideTheTableTheLibraryServes) {
  for (std::int32_t angle : {-91, 361}) {
    volatile std::int32_t a = angle;  // the library's cosl, not a folded constant
    EXPECT_EQ(RotatePointX(3, 4, 10, angle, Axis::kHor), 3 + cosl(a * DEG_TO_RAD) * 10) << angle;
  }
}

TEST(RotatePoint, ZeroLength) {
  EXPECT_EQ(RotatePointX(7.5L, 2, 0, 30, Axis::kHor), 7.5L);
  EXPECT_EQ(RotatePointY(7.5L, 2, 0, 30, Axis::kVer), 2);
}

TEST(Rotation, BitForBitEqualToThePointFunctions) {
  const long double lengths[] = {0, 1, -7.25L, 0.1L, 123456.789L, 1e9L};
  for (std::int32_t angle = -90; angle <= 360; ++angle) {
    const Rotation rotation(angle);
    for (long double length : lengths) {
      long double x, y;
      rotation.Hor(1.5L, -2.25L, length, x, y);
      ASSERT_EQ(x, RotatePointX(1.5L, -2.25L, length, angle, Axis::kHor)) << angle;
      ASSERT_EQ(y, RotatePointY(1.5L, -2.25L, length, angle, Axis::kHor)) << angle;
      rotation.Ver(1.5L, -2.25L, length, x, y);
      ASSERT_EQ(x, RotatePointX(1.5L, -2.25L, length, angle, Axis::kVer)) << angle;
      ASSERT_EQ(y, RotatePointY(1.5L, -2.25L, length, angle, Axis::kVer)) << angle;
    }
  }
}

}  // namespace
}  // namespace tavimo
