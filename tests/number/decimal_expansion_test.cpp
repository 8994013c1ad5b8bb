// Cross-check of the integer 18-digit expansion with glibc's printf("%.17Le"),
// which is correctly rounded (ties to even) for every finite long double.
// Tens of millions of values: where the integer path works (1e-38 .. 1e45)
// the bulk, around it every binary exponent, powers of ten, exact ties.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "number/decimal_expansion.h"
#include "tests/support/on_two_threads.h"
#include "number/number_text.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

using u64 = std::uint64_t;

// An 80-bit value from its 64-bit significand and 15-bit biased exponent.
long double Make(u64 significand, int biasedExponent, bool negative = false) {
  return x87::FromParts(significand, biasedExponent, negative);
}

// A normal value in [2^e, 2^(e+1)) with a random significand and sign.
long double RandomNormal(std::mt19937_64& rng, int e) {
  const u64 bits = rng();
  return Make(bits | (u64{1} << 63), e + 16383, (bits & 1) != 0);
}

// Compares DecimalExpansion18 with printf, counting values and keeping the
// first mismatch for the report.
class Checker {
 public:
  void Check(long double value) {
    if (value == 0) return;  // the expansion is defined for non-zero values only
    ++checked_;
    char text[64];
    std::snprintf(text, sizeof text, "%.17Le", std::fabs(value));
    // "d.ddddddddddddddddde[+-]x"; text[1] is the locale's point, never read.
    char expected[18];
    expected[0] = text[0];
    std::memcpy(expected + 1, text + 2, 17);
    const int expectedPoint = std::atoi(text + 20) + 1;

    char digits[18];
    int point = 0;
    DecimalExpansion18(value, digits, point);
    if (std::memcmp(digits, expected, 18) == 0 && point == expectedPoint) return;
    if (failures_++ == 0) {
      char hex[64];
      std::snprintf(hex, sizeof hex, "%La", value);
      firstFailure_ = std::string(hex) + ": printf " + text + ", got " + std::string(digits, 18) +
                      " with point position " + std::to_string(point);
    }
  }
  void Add(const Checker& other) {
    checked_ += other.checked_;
    if (failures_ == 0) firstFailure_ = other.firstFailure_;
    failures_ += other.failures_;
  }
  u64 checked() const { return checked_; }
  ::testing::AssertionResult Result() const {
    if (failures_ == 0) return ::testing::AssertionSuccess() << checked_ << " values";
    return ::testing::AssertionFailure() << failures_ << " of " << checked_
                                         << " values differ; first: " << firstFailure_;
  }

 private:
  u64 checked_ = 0;
  u64 failures_ = 0;
  std::string firstFailure_;
};

TEST(DecimalExpansion18, RandomBitsWhereTheIntegerPathWorks) {
  // Binary exponents -126 .. 149 take the integer path; a few beyond each
  // end check the hand-over to the general one.
  const Checker result = testing::OnTwoThreads<Checker>(1, [](Checker& checker, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> exponent(-132, 155);
    for (int i = 0; i < 8'000'000; ++i) checker.Check(RandomNormal(rng, exponent(rng)));
  });
  EXPECT_TRUE(result.Result());
}

TEST(DecimalExpansion18, RandomCoordinates) {
  // Points of turned blocks: x0 + L cos(a), y0 + L sin(a) and the moves
  // alone, with the starting point typed to a few decimals.
  const Checker result = testing::OnTwoThreads<Checker>(2, [](Checker& checker, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> angle(0, 360), decimals(0, 4), steps(0, 100000);
    std::uniform_int_distribution<long> typed(-99999999, 99999999);
    std::uniform_int_distribution<int> cell(1, 500);
    for (int i = 0; i < 500'000; ++i) {
      const long double a = angle(rng) * 0.0174532925199433L;
      const long double x0 = typed(rng) / std::pow(10.0L, decimals(rng));
      const long double y0 = typed(rng) / std::pow(10.0L, decimals(rng));
      const long double length = static_cast<long double>(cell(rng)) * steps(rng);
      const long double c = std::cos(a), s = std::sin(a);
      checker.Check(length * c);
      checker.Check(x0 + length * c);
      checker.Check(y0 + length * s);
      checker.Check(x0 - length * s / 50);
    }
  });
  EXPECT_TRUE(result.Result());
}

TEST(DecimalExpansion18, RandomBitsOfEveryMagnitude) {
  const Checker result = testing::OnTwoThreads<Checker>(3, [](Checker& checker, std::mt19937_64& rng) {
    for (int i = 0; i < 100'000; ++i) {
      const int biased = static_cast<int>(rng() % 0x7fff);  // never infinity or NaN
      u64 significand = rng();
      if (biased == 0) significand >>= rng() % 64;  // subnormal: integer bit clear
      else significand |= u64{1} << 63;
      if (significand != 0) checker.Check(Make(significand, biased, (rng() & 1) != 0));
    }
  });
  EXPECT_TRUE(result.Result());
}

TEST(DecimalExpansion18, EveryBinaryExponentAndSubnormalWidth) {
  std::mt19937_64 rng(4);
  Checker checker;
  for (int biased = 1; biased < 0x7fff; ++biased) {
    checker.Check(Make(u64{1} << 63, biased));  // powers of two
    checker.Check(Make(~u64{0}, biased));       // just below the next
    checker.Check(Make(rng() | (u64{1} << 63), biased));
  }
  for (int width = 1; width <= 63; ++width) {  // subnormals of every size
    checker.Check(Make(u64{1} << (width - 1), 0));
    checker.Check(Make((u64{1} << width) - 1, 0));
    checker.Check(Make((rng() >> (64 - width)) | (u64{1} << (width - 1)), 0));
  }
  EXPECT_TRUE(checker.Result());
  EXPECT_GT(checker.checked(), 98000u);
}

TEST(DecimalExpansion18, ExtremeValues) {
  Checker checker;
  const long double max = std::numeric_limits<long double>::max();
  const long double minNormal = std::numeric_limits<long double>::min();
  const long double denormMin = std::numeric_limits<long double>::denorm_min();
  for (long double v : {max, minNormal, denormMin, std::nextafter(minNormal, 0.0L),
                        std::nextafter(max, 0.0L), std::nextafter(denormMin, 1.0L),
                        std::nextafter(minNormal, 1.0L), -max, -denormMin})
    checker.Check(v);
  EXPECT_TRUE(checker.Result());

  char digits[18];
  int point = 0;
  DecimalExpansion18(max, digits, point);
  EXPECT_EQ(std::string(digits, 18), "118973149535723177");
  EXPECT_EQ(point, 4933);
  DecimalExpansion18(denormMin, digits, point);
  EXPECT_EQ(std::string(digits, 18), "364519953188247460");
  EXPECT_EQ(point, -4950);
}

// The nearest long double to 10^n, read without the locale.
long double PowerOfTen(int n) {
  const std::string text = "1e" + std::to_string(n);
  long double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

TEST(DecimalExpansion18, NearPowersOfTen) {
  // Just below 10^n the 18 digits round up to 1 followed by zeros and the
  // point moves; half a unit of the 18th digit is about 9 steps there.
  Checker checker;
  for (int n = -4950; n <= 4932; ++n) {
    const bool dense = n >= -45 && n <= 50;
    const int steps = dense ? 40 : 2;
    const long double p = PowerOfTen(n);
    long double up = p, down = p;
    checker.Check(p);
    for (int i = 0; i < steps; ++i) {
      up = std::nextafter(up, std::numeric_limits<long double>::infinity());
      down = std::nextafter(down, 0.0L);
      checker.Check(up);
      if (down != 0) checker.Check(down);
    }
  }
  EXPECT_TRUE(checker.Result());
}

// 5^n for n <= 27, every one below 2^64.
u64 Pow5(int n) {
  u64 p = 1;
  while (n-- > 0) p *= 5;
  return p;
}

void CheckWithNeighbours(Checker& checker, long double v) {
  checker.Check(v);
  checker.Check(std::nextafter(v, 0.0L));
  checker.Check(std::nextafter(v, std::numeric_limits<long double>::infinity()));
}

TEST(DecimalExpansion18, ExactTiesAndTheirNeighbours) {
  // A value Y / 2^n with Y odd is Y * 5^n / 10^n: its digits are those of
  // Y * 5^n, which end in 5. It is a tie at 18 digits exactly when Y * 5^n
  // has 19 digits; above 2^64 the ties are the integers ending in 5 or 50.
  std::mt19937_64 rng(5);
  Checker checker;
  constexpr u64 kTen18 = 1000000000000000000ULL;
  constexpr u64 kTen19 = 10000000000000000000ULL;
  for (int n = 0; n <= 27; ++n) {
    const u64 first = (kTen18 + Pow5(n) - 1) / Pow5(n), last = (kTen19 - 1) / Pow5(n);
    std::uniform_int_distribution<u64> pick(first, last);
    for (int i = 0; i < 20000; ++i) {
      const u64 y = pick(rng) | 1;
      if (y > last) continue;
      CheckWithNeighbours(checker, std::ldexp(static_cast<long double>(y), -n));
    }
  }
  // Ties ending in 50: 2 * (50 D + 25) with D of 18 digits, still exact.
  std::uniform_int_distribution<u64> d(100000000000000000ULL, 368934881474191031ULL);
  for (int i = 0; i < 100000; ++i)
    CheckWithNeighbours(checker, std::ldexp(static_cast<long double>(50 * d(rng) + 25), 1));
  // The tie that carries into a new digit, and one that stays.
  CheckWithNeighbours(checker, 999999999999999999.5L);
  CheckWithNeighbours(checker, 999999999999999998.5L);
  CheckWithNeighbours(checker, 9999999999999999995.0L);
  EXPECT_TRUE(checker.Result());

  char digits[18];
  int point = 0;
  DecimalExpansion18(999999999999999999.5L, digits, point);
  EXPECT_EQ(std::string(digits, 18), "100000000000000000");
  EXPECT_EQ(point, 19);
  DecimalExpansion18(999999999999999998.5L, digits, point);
  EXPECT_EQ(std::string(digits, 18), "999999999999999998");
  EXPECT_EQ(point, 18);
}

}  // namespace
}  // namespace tavimo
