// The writers' inline number text against the rules applied to printf's
// digits, on millions of values: the coordinates of turned blocks, random
// bits over the whole fast range and just beyond it, whole numbers, and
// points whose two numbers take different ways.
#include "number/fast_number_text.h"
#include "tests/support/on_two_threads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "tests/number/text_by_the_rules.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

// Counts the texts and keeps the first that differs.
class PairChecker {
 public:
  // PutPair's text of the point, and x as a 7-digit item (FormatNumber's
  // other fast way).
  void Check(long double x, long double y) {
    char text[3 * kMaxNumberText];
    const std::string pair(text, fast::PutPair(text, x, "\r\n 20 \r\n", y));
    Compare(pair, ByTheRules(x, 15, false) + "\r\n 20 \r\n" + ByTheRules(y, 15, false), x);
    Compare(std::string(text, FormatNumber(text, x, 7, true)), ByTheRules(x, 7, true), x);
  }
  void Add(const PairChecker& other) {
    if (failures_ == 0) first_ = other.first_;
    checked_ += other.checked_;
    failures_ += other.failures_;
  }
  ::testing::AssertionResult Result() const {
    if (failures_ == 0) return ::testing::AssertionSuccess() << checked_ << " texts";
    return ::testing::AssertionFailure() << failures_ << " of " << checked_ << " texts differ; first: " << first_;
  }

 private:
  void Compare(const std::string& got, const std::string& expected, long double value) {
    ++checked_;
    if (got == expected || failures_++ != 0) return;
    char hex[64];
    std::snprintf(hex, sizeof hex, "%La", value);
    first_ = std::string(hex) + ": \"" + got + "\", expected \"" + expected + "\"";
  }

  long long checked_ = 0;
  long long failures_ = 0;
  std::string first_;
};

// A normal value in [2^e, 2^(e+1)) with random significand bits and sign.
long double RandomNormal(std::mt19937_64& rng, int e) {
  const std::uint64_t significand = rng() | (std::uint64_t{1} << 63);
  return x87::FromParts(significand, e + x87::kBias, (rng() & 1) != 0);
}

TEST(FastNumberText, PointsOfTurnedBlocks) {
  // The steps of a layout: a typed start plus whole multiples of a cell
  // size turned by a whole angle, in 80-bit arithmetic.
  const PairChecker result = testing::OnTwoThreads<PairChecker>(21, [](PairChecker& checker, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> angle(0, 360), decimals(0, 6), steps(0, 30000), cell(1, 500);
    std::uniform_int_distribution<long> typed(-999999999, 999999999);
    for (int i = 0; i < 600'000; ++i) {
      const long double a = angle(rng) * 0.0174532925199433L;
      const long double x0 = typed(rng) / std::pow(10.0L, decimals(rng));
      const long double y0 = typed(rng) / std::pow(10.0L, decimals(rng));
      const long double along = static_cast<long double>(cell(rng)) * steps(rng);
      const long double across = static_cast<long double>(cell(rng)) * steps(rng);
      const long double c = std::cos(a), s = std::sin(a);
      checker.Check(x0 + along * c - across * s, y0 + along * s + across * c);
    }
  });
  EXPECT_TRUE(result.Result());
}

TEST(FastNumberText, RandomBitsOverTheFastRangeAndBeyond) {
  // Binary exponents -22 .. 48 (15 digits) and -11 .. 22 (7 digits) take
  // the fast path; a few beyond each end check the hand-over, also when
  // only one number of a point goes over.
  // Each binade's scale changes at its power of ten: the neighbours of
  // every power of ten in the range check the change-over.
  const PairChecker result = testing::OnTwoThreads<PairChecker>(22, [](PairChecker& checker, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> exponent(-40, 65);
    for (int i = 0; i < 400'000; ++i) checker.Check(RandomNormal(rng, exponent(rng)), RandomNormal(rng, exponent(rng)));
    for (int p = -9; p <= 18; ++p) {
      long double below = std::pow(10.0L, p), above = below;
      for (int step = 0; step < 200; ++step) {
        checker.Check(below, -above);
        below = std::nextafter(below, 0.0L);
        above = std::nextafter(above, 1e30L);
      }
    }
  });
  EXPECT_TRUE(result.Result());
}

TEST(FastNumberText, WholeNumbersZerosAndHalves) {
  // Whole numbers around the ends of the digit shortcuts (10^4, 2^23, 2^26,
  // 10^7, 10^8, 10^15), halves that are ties at 7 digits, signed zeros.
  const PairChecker result = testing::OnTwoThreads<PairChecker>(23, [](PairChecker& checker, std::mt19937_64& rng) {
    for (int i = 0; i < 100'000; ++i) {
      const long double whole = static_cast<long double>(rng() >> (rng() % 64));
      const long double half = static_cast<long double>(rng() % 100000000) + 0.5L;
      checker.Check((rng() & 1) ? whole : -whole, (rng() & 1) ? half : -0.0L);
    }
    for (long double edge : {1e4L, 8388608.0L, 67108864.0L, 1e7L, 1e8L, 1e15L, 1e17L}) {
      for (long double d = -3; d <= 3; ++d) checker.Check(edge + d, -(edge + d) + 0.5L);
    }
    checker.Check(0.0L, -0.0L);
  });
  EXPECT_TRUE(result.Result());
}

}  // namespace
}  // namespace tavimo
