#include "model/exact_trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "model/trig_table.h"
#include "tests/support/test_support.h"

// The bit-for-bit comparison with mpmath over millions of inputs is
// check_trig.py's (test model_trig_against_mpmath, `make trig-check`); here
// the edges, the table, and properties that a sign, quadrant or octant
// fault breaks.

namespace tavimo {
namespace {

constexpr long double kInf = std::numeric_limits<long double>::infinity();
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

// Within `units` steps of long doubles of each other.
bool Near(long double a, long double b, int units) {
  for (int i = 0; i < units; ++i) a = std::nextafterl(a, b);
  return a == b;
}

TEST(ExactTrig, TheScriptWritesTheCheckedInConstants) {
  if (std::system("/usr/bin/python3 -c 'import mpmath' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 with mpmath is missing (scripts/setup installs python3-mpmath)";
  testing::TempDir dir;
  const std::string out = dir / "exact_trig_constants.h";
  const std::string command = "/usr/bin/python3 " TAVIMO_SOURCE_DIR "/model/gen_exact_trig_constants.py '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_TRUE(testing::ReadFile(out) == testing::ReadFile(TAVIMO_SOURCE_DIR "/model/exact_trig_constants.h"))
      << "model/exact_trig_constants.h differs from what model/gen_exact_trig_constants.py writes";
}

TEST(ExactTrig, ZerosTinyAndNonFiniteArguments) {
  const CosSin plus = CorrectCosSin(0.0L);
  EXPECT_EQ(plus.cos, 1.0L);
  EXPECT_EQ(plus.sin, 0.0L);
  EXPECT_FALSE(std::signbit(plus.sin));
  const CosSin minus = CorrectCosSin(-0.0L);
  EXPECT_EQ(minus.cos, 1.0L);
  EXPECT_TRUE(std::signbit(minus.sin));
  const long double below = std::nextafterl(0x1p-32L, 0);
  for (long double t : {std::numeric_limits<long double>::denorm_min(), 0x1p-16000L, 1e-12L, below, -below}) {
    EXPECT_EQ(CorrectCosSin(t).cos, 1.0L) << static_cast<double>(t);
    EXPECT_EQ(CorrectCosSin(t).sin, t) << static_cast<double>(t);
  }
  for (long double t : {kNaN, kInf, -kInf}) {
    EXPECT_TRUE(std::isnan(CorrectCosSin(t).cos));
    EXPECT_TRUE(std::isnan(CorrectCosSin(t).sin));
  }
}

// cos 2^-32 = 1 - 2^-65 + 2^-128/24 - ...: just above the halfway point
// below 1, so 128 bits cannot decide it and the finer attempt must; one
// step further up it falls below that point.
TEST(ExactTrig, PastTheTinyBoundTheRoundingIsDecidedFiner) {
  const long double bound = 0x1p-32L;
  const long double above = std::nextafterl(bound, 1);
  EXPECT_EQ(CorrectCosSin(bound).cos, 1.0L);
  EXPECT_EQ(CorrectCosSin(bound).sin, bound);
  EXPECT_EQ(CorrectCosSin(above).cos, 1.0L - 0x1p-64L);
  EXPECT_EQ(CorrectCosSin(above).sin, above);
  EXPECT_EQ(CorrectCosSin(-above).cos, 1.0L - 0x1p-64L);
  EXPECT_EQ(CorrectCosSin(-above).sin, -above);
}

TEST(ExactTrig, AgreesWithTheTable) {
  for (std::int32_t angle = kTrigFirstAngle; angle <= kTrigLastAngle; ++angle) {
    const TrigEntry& entry = kTrigTable[angle - kTrigFirstAngle];
    const CosSin cs = CorrectCosSin(entry.radians);
    EXPECT_EQ(cs.cos, entry.cosine) << angle;
    EXPECT_EQ(cs.sin, entry.sine) << angle;
  }
}

// Odd and even, within a unit of glibc's everywhere (so no quadrant or
// sign can be wrong), and quarter-turn arguments far out, whose tiny r
// needs every bit of the reduction.
TEST(ExactTrig, SymmetricAndNearTheLibrary) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 20000; ++i) {
    const double range = i < 10000 ? 8 : std::ldexp(1.0, 1 + i % 60);
    const long double t = static_cast<long double>(unit(rng) * range) + std::ldexp(static_cast<long double>(unit(rng)), -60);
    const CosSin cs = CorrectCosSin(t);
    const CosSin negated = CorrectCosSin(-t);
    ASSERT_EQ(negated.cos, cs.cos) << static_cast<double>(t);
    ASSERT_EQ(negated.sin, -cs.sin) << static_cast<double>(t);
    ASSERT_TRUE(Near(cs.cos, cosl(t), 1)) << static_cast<double>(t);
    ASSERT_TRUE(Near(cs.sin, sinl(t), 1)) << static_cast<double>(t);
  }
  // t = RN(k * RN(pi/2)): the reduction cancels all but r = t - k pi/2, and
  // cos and sin land in the quadrant k mod 4 names. Near 2^40 pi/2, r is
  // about k times RN(pi/2)'s error; for k = 1 and 3, below 1e-18.
  const long double quarter = 0xc.90fdaa22168c235p-3L;  // RN(pi/2)
  for (long double k : {1.0L, 3.0L, 0x1p40L + 1, 0x1p40L + 3}) {
    const long double t = k * quarter;
    const CosSin cs = CorrectCosSin(t);
    const bool first = std::fmod(k, 4.0L) == 1;
    EXPECT_LT(std::fabs(cs.cos), k < 4 ? 1e-18L : 1e-7L) << static_cast<double>(k);
    EXPECT_GT(first ? cs.sin : -cs.sin, 1 - 1e-14L) << static_cast<double>(k);
    EXPECT_TRUE(Near(cs.cos, cosl(t), 1)) << static_cast<double>(k);
    EXPECT_TRUE(Near(cs.sin, sinl(t), 1)) << static_cast<double>(k);
  }
  const long double largest = std::numeric_limits<long double>::max();
  EXPECT_TRUE(Near(CorrectCosSin(largest).cos, cosl(largest), 1));
  EXPECT_TRUE(Near(CorrectCosSin(largest).sin, sinl(largest), 1));
}

// The x87's square root is correctly rounded, so it is the reference here.
TEST(ExactTrig, SqrtEqualsTheCorrectlyRoundedOne) {
  EXPECT_EQ(CorrectSqrt(0.0L), 0.0L);
  EXPECT_FALSE(std::signbit(CorrectSqrt(0.0L)));
  EXPECT_TRUE(std::signbit(CorrectSqrt(-0.0L)));
  EXPECT_EQ(CorrectSqrt(kInf), kInf);
  for (long double x : {-1.0L, -kInf, kNaN, -std::numeric_limits<long double>::denorm_min()})
    EXPECT_TRUE(std::isnan(CorrectSqrt(x))) << static_cast<double>(x);
  EXPECT_EQ(CorrectSqrt(2.0L), 0xb.504f333f9de6484p-3L);
  std::mt19937_64 rng(11);
  for (int i = 0; i < 20000; ++i) {
    const long double m = static_cast<long double>(rng() | (std::uint64_t{1} << 63));
    const int e = static_cast<int>(rng() % 32890) - 16510;  // normal and subnormal
    const long double x = std::ldexp(m, e - 63);
    ASSERT_EQ(CorrectSqrt(x), sqrtl(x)) << i;
    const long double r = static_cast<long double>(rng() >> 32);  // exact square, every exponent
    const int half = static_cast<int>(rng() % 16000) - 8000;
    ASSERT_EQ(CorrectSqrt(std::ldexp(r * r, 2 * half)), std::ldexp(r, half)) << i;
  }
  const long double smallest = std::numeric_limits<long double>::denorm_min();
  EXPECT_EQ(CorrectSqrt(smallest), sqrtl(smallest));
  EXPECT_EQ(CorrectSqrt(2 * smallest), std::ldexp(1.0L, -8222));
  EXPECT_EQ(CorrectSqrt(std::numeric_limits<long double>::max()), sqrtl(std::numeric_limits<long double>::max()));
}

TEST(ExactTrig, DirectionOfAxesDiagonalsAndEdges) {
  struct Case {
    long double dx, dy;
    float degrees;
  };
  const Case cases[] = {
      {1, 0, 0},        {0, 2, 90},        {-3, 0, 180},      {0, -4, 270},   {5, 5, 45},
      {-5, 5, 135},     {-5, -5, 225},     {5, -5, 315},      {0, 0, 0},      {-0.0L, -0.0L, 0},
      {7, -0.0L, 0},    {-7, -0.0L, 180},  {-0.0L, 7, 90},    {1e-4000L, 1e-4000L, 45},
      {1, -0x1p-30L, 360},  // nearer 360 than half a float step: rounds to 360.0f
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectionDegrees(c.dx, c.dy), c.degrees) << static_cast<double>(c.dx) << " " << static_cast<double>(c.dy);
  }
  EXPECT_EQ(DirectionDegrees(CorrectSqrt(3), 1), 30.0f);
  EXPECT_EQ(DirectionDegrees(1, CorrectSqrt(3)), 60.0f);
  EXPECT_LT(DirectionDegrees(1, -0x1p-10L), 360.0f);
  // Tiny directions keep their digits down to the subnormal floats.
  EXPECT_EQ(DirectionDegrees(1, 0x1p-200L), 0.0f);
  const float tiny = DirectionDegrees(1, 0x1p-140L);  // 2^-140 * 180/pi, about 2^-134.2
  EXPECT_GT(tiny, 0x1p-135f);
  EXPECT_LT(tiny, 0x1p-134f);
  for (long double bad : {kNaN, kInf, -kInf}) {
    EXPECT_TRUE(std::isnan(DirectionDegrees(bad, 1)));
    EXPECT_TRUE(std::isnan(DirectionDegrees(1, bad)));
  }
}

// Every octant: within a float step of the library's atan2, and the
// mirror images add up as they must to within a step.
TEST(ExactTrig, DirectionNearTheLibraryInEveryOctant) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> unit(-1, 1);
  for (int i = 0; i < 20000; ++i) {
    const long double dx = std::ldexp(static_cast<long double>(unit(rng)), static_cast<int>(rng() % 40) - 20);
    const long double dy = std::ldexp(static_cast<long double>(unit(rng)), static_cast<int>(rng() % 40) - 20);
    long double library = atan2l(dy, dx) * (180 / 3.14159265358979323846264338327950288L);
    if (library < 0) library += 360;
    const float ours = DirectionDegrees(dx, dy);
    const float step = std::nextafterf(ours, 1000.0f) - ours;
    ASSERT_LE(std::fabs(static_cast<long double>(ours) - library), step) << i;
    const float mirrored = DirectionDegrees(dx, -dy);  // 360 - ours
    const float mirroredStep = std::nextafterf(mirrored, 1000.0f) - mirrored;
    ASSERT_LE(std::fabs(static_cast<long double>(mirrored) + ours - 360), step + mirroredStep) << i;
  }
}

TEST(ExactTrig, WideProductFormsAgree) {
  using exact_trig_detail::MulWide;
  using exact_trig_detail::MulWideHalves;
  const std::uint64_t max = ~std::uint64_t{0};
  const exact_trig_detail::Wide square = MulWideHalves(max, max);  // (2^64 - 1)^2
  EXPECT_EQ(square.hi, max - 1);
  EXPECT_EQ(square.lo, 1u);
  std::mt19937_64 rng(3);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t a = i < 4 ? max >> (i * 16) : rng(), b = i % 7 == 0 ? max : rng();
    const exact_trig_detail::Wide x = MulWide(a, b), y = MulWideHalves(a, b);
    ASSERT_EQ(x.hi, y.hi) << a << " " << b;
    ASSERT_EQ(x.lo, y.lo) << a << " " << b;
  }
}

}  // namespace
}  // namespace tavimo
