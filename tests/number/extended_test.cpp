// The software 80-bit type against the x87 unit, bit for bit: random
// operands of every magnitude, exact ties, subnormals, overflow, zeros and
// infinities, for every operation the digit path uses. About a second.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "number/decimal_expansion.h"
#include "number/extended.h"
#include "number/number_text.h"
#include "number/text_to_number.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

using u64 = std::uint64_t;

TEST(SoftExtended, ConstantsAndConversionsKeepTheirBits) {
  constexpr SoftExtended third = 0xa.aaaaaaaaaaaaaabp-5L;
  static_assert(third.significand() == 0xaaaaaaaaaaaaaaabULL && third.signAndExponent() == 16383 - 2);
  static_assert(SoftExtended(-1).signAndExponent() == (0x8000 | 16383));
  static_assert(static_cast<std::int64_t>(SoftExtended(-9007199254740993LL)) == -9007199254740993LL);
  static_assert(static_cast<double>(SoftExtended(0.1)) == 0.1);
  static_assert(static_cast<int>(SoftExtended(-2.75)) == -2);
  EXPECT_EQ(static_cast<long double>(SoftExtended(0.1)), static_cast<long double>(0.1));
  EXPECT_TRUE(IsNan(SoftExtended(0) / SoftExtended(0)));
  EXPECT_TRUE(SoftExtended(0) == -SoftExtended(0));
  EXPECT_TRUE(SignBit(NearestEven(SoftExtended(-0.25))));
  EXPECT_EQ(NearestEven(SoftExtended(2.5)), SoftExtended(2));
  EXPECT_EQ(NearestEven(SoftExtended(-3.5)), SoftExtended(-4));
  EXPECT_EQ(Floor(SoftExtended(-0.5)), SoftExtended(-1));
  EXPECT_EQ(Ceil(SoftExtended(0.25)), SoftExtended(1));
}

// The digit path in whichever type the build computes: values whose
// text is known, through the fast path, the general one and the long
// integers of the far magnitudes. On other CPUs these run in the software
// type, where the cross-checks below cannot.
TEST(SoftExtended, DigitsOfKnownValues) {
  EXPECT_EQ(NumberString(Extended(1234.5)), " 1234.5");
  EXPECT_EQ(NumberString(Extended(-678.25)), "-678.25");
  EXPECT_EQ(NumberString(0x8.efa351294e9d26fp-9L), " 1.74532925199433E-2");
  EXPECT_EQ(NumberString(Extended(1) / Extended(3)), " .333333333333333");
  EXPECT_EQ(NumberString(Extended(2) / Extended(3) * Extended(1e300)), " 6.66666666666667E+299");
  EXPECT_EQ(FormatNumberItem(Extended(100) / Extended(7), 7), " 14.28571 ");
  EXPECT_EQ(NumberString(TextToNumber("0.1") * Extended(3)), " .3");
  char digits[18];
  int point = 0;
  DecimalExpansion18(x87::FromParts(~std::uint64_t{0}, 0x7ffe, false), digits, point);
  EXPECT_EQ(std::string(digits, 18), "118973149535723177");
  EXPECT_EQ(point, 4933);
  DecimalExpansion18(x87::FromParts(1, 0, false), digits, point);
  EXPECT_EQ(std::string(digits, 18), "364519953188247460");
  EXPECT_EQ(point, -4950);
  EXPECT_EQ(RoundToInt32(Extended(2.5)), 2);
  EXPECT_EQ(RoundToInt32(Extended(-3.5)), -4);
  EXPECT_FALSE(RoundToInt32(Extended(2147483647.5)).has_value());
}

#if LDBL_MANT_DIG == 64

SoftExtended Soft(long double x) {
  u64 m;
  std::uint16_t se;
  std::memcpy(&m, &x, 8);
  std::memcpy(&se, reinterpret_cast<const char*>(&x) + 8, 2);
  return SoftExtended::FromBits(m, se);
}

long double Hard(u64 significand, int biased, bool negative) {
  long double x = 0;
  const auto se = static_cast<std::uint16_t>(biased | (negative ? 0x8000 : 0));
  std::memcpy(&x, &significand, 8);
  std::memcpy(reinterpret_cast<char*>(&x) + 8, &se, 2);
  return x;
}

std::string Bits(const SoftExtended& x) {
  char text[40];
  std::snprintf(text, sizeof text, "%04x:%016llx", x.signAndExponent(), static_cast<unsigned long long>(x.significand()));
  return text;
}

// Equal bits; NaNs only as NaNs (their payloads are not the digits' concern).
::testing::AssertionResult Same(const char* what, long double a, long double b, const SoftExtended& soft,
                                long double hard) {
  const SoftExtended expected = Soft(hard);
  if (soft.IsNan() && expected.IsNan()) return ::testing::AssertionSuccess();
  if (soft.significand() == expected.significand() && soft.signAndExponent() == expected.signAndExponent())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << what << " of " << Bits(Soft(a)) << " and " << Bits(Soft(b)) << ": "
                                       << Bits(soft) << ", x87 " << Bits(expected);
}

// Operands of every kind: mostly normal values near each other in
// magnitude, some anywhere in the range, subnormals, the special values.
class Operands {
 public:
  long double Next() {
    const u64 bits = rng_();
    const bool negative = (bits & 1) != 0;
    switch ((bits >> 1) % 32) {
      case 0: return Hard(rng_() >> (1 + bits % 63), 0, negative);  // subnormal
      case 1: return Hard(rng_() | (u64{1} << 63), 1 + rng_() % 0x7ffe, negative);  // anywhere
      case 2: return Hard(u64{1} << 63, 0x7fff, negative);                       // infinity
      case 3: return negative ? -0.0L : 0.0L;
      case 4: return Hard(~u64{0}, 0x7ffe, negative);                            // the largest
      case 5: return Hard(u64{1} << 63, 1 + rng_() % 3, negative);               // the smallest normals
      case 6: return static_cast<long double>(static_cast<std::int64_t>(rng_() >> (bits % 60)));  // whole
      default: {
        // Few significant bits make exact results and ties common.
        const u64 m = (bits % 3 == 0 ? rng_() << (rng_() % 60) : rng_()) | (u64{1} << 63);
        return Hard(m, 16383 + static_cast<int>(rng_() % 80) - 40, negative);
      }
    }
  }
  // A second operand whose sum or difference with a is a tie: a unit in
  // a's last place scaled down to half (and a little above or below).
  long double TieFor(long double a) {
    const u64 bits = rng_();
    const int shift = static_cast<int>(bits % 70);
    return std::ldexp(a, -64 - shift + 1) * (1.0L + static_cast<long double>(bits >> 62) * 0x1p-63L);
  }
  std::mt19937_64& rng() { return rng_; }

 private:
  std::mt19937_64 rng_{20240527};
};

TEST(SoftExtended, ArithmeticMatchesTheX87Unit) {
  Operands operands;
  int checked = 0;
  for (int i = 0; i < 400000; ++i) {
    const long double a = operands.Next();
    const long double b = i % 4 == 0 ? operands.TieFor(a) : operands.Next();
    const SoftExtended sa = Soft(a), sb = Soft(b);
    ASSERT_TRUE(Same("sum", a, b, sa + sb, a + b));
    ASSERT_TRUE(Same("difference", a, b, sa - sb, a - b));
    ASSERT_TRUE(Same("product", a, b, sa * sb, a * b));
    ASSERT_TRUE(Same("quotient", a, b, sa / sb, a / b));
    ASSERT_EQ(sa < sb, a < b);
    ASSERT_EQ(sa == sb, a == b);
    ASSERT_EQ(sa >= sb, a >= b);
    checked += 7;
  }
  // Products of two 33-bit odd significands have 65 or 66 bits: ties and
  // their neighbours at every exponent, subnormal results included.
  std::mt19937_64& rng = operands.rng();
  for (int i = 0; i < 200000; ++i) {
    const u64 ma = (rng() | 1) << 31 | (u64{1} << 63), mb = (rng() | 1) << 31 | (u64{1} << 63);
    const int ea = static_cast<int>(rng() % 0x7ffe) + 1, eb = 16383 * 2 - ea - static_cast<int>(rng() % 16500);
    const long double a = Hard(ma, ea, rng() & 1), b = Hard(mb, eb < 1 ? 1 : (eb > 0x7ffe ? 0x7ffe : eb), false);
    ASSERT_TRUE(Same("product", a, b, Soft(a) * Soft(b), a * b));
    ++checked;
  }
  EXPECT_GT(checked, 2000000);
}

TEST(SoftExtended, RoundingAndConversionsMatchTheX87Unit) {
  Operands operands;
  for (int i = 0; i < 300000; ++i) {
    long double a = operands.Next();
    if (i % 2 == 0 && std::isfinite(a) && a != 0) a = std::ldexp(a, -std::ilogb(a) + static_cast<int>(i % 70) - 3);
    if (i % 8 == 0) a = std::nearbyintl(a * 2) / 2 + (i % 16 == 0 ? 0.0L : 0x1p-40L);  // halves and near them
    const SoftExtended s = Soft(a);
    ASSERT_TRUE(Same("nearest whole", a, a, NearestEven(s), std::nearbyintl(a)));
    ASSERT_TRUE(Same("floor", a, a, Floor(s), std::floor(a)));
    ASSERT_TRUE(Same("ceiling", a, a, Ceil(s), std::ceil(a)));
    ASSERT_TRUE(Same("abs", a, a, Abs(s), std::fabs(a)));
    ASSERT_EQ(IsFinite(s), std::isfinite(a) != 0);
    ASSERT_EQ(IsInf(s), std::isinf(a) != 0);
    const double d = static_cast<double>(a), sd = static_cast<double>(s);
    ASSERT_TRUE(std::memcmp(&d, &sd, sizeof d) == 0 || (std::isnan(d) && std::isnan(sd))) << Bits(s);
    const float f = static_cast<float>(a), sf = static_cast<float>(s);
    ASSERT_TRUE(std::memcmp(&f, &sf, sizeof f) == 0 || (std::isnan(f) && std::isnan(sf))) << Bits(s);
    if (std::isfinite(a)) {
      ASSERT_TRUE(Same("from double", a, a, SoftExtended(d), static_cast<long double>(d)));
      const int shift = static_cast<int>(i % 200) - 100;
      ASSERT_TRUE(Same("scaled", a, a, ScaleByPowerOfTwo(s, shift), std::ldexp(a, shift)));
      int e1 = 0, e2 = 0;
      ASSERT_TRUE(Same("split", a, a, SplitExponent(s, e1), std::frexp(a, &e2)));
      ASSERT_EQ(e1, e2);
      if (std::fabs(a) < 0x1p62L) {
        ASSERT_EQ(static_cast<std::int64_t>(s), static_cast<std::int64_t>(a)) << Bits(s);
        const auto whole = static_cast<std::int64_t>(a);
        ASSERT_TRUE(Same("from integer", a, a, SoftExtended(whole), static_cast<long double>(whole)));
      }
    }
  }
}

// The long-integer expansion, which every platform shares, against
// glibc's printf on the x87 type: subnormals and the far ends of the range.
TEST(SoftExtended, FarMagnitudesExpandAsPrintfDoes) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000; ++i) {
    const int biased = i % 3 == 0 ? 0 : (i % 3 == 1 ? static_cast<int>(rng() % 300) + 1 : 0x7ffe - static_cast<int>(rng() % 300));
    const u64 m = biased == 0 ? rng() >> (1 + rng() % 63) : rng() | (u64{1} << 63);
    if (m == 0) continue;
    const long double x = Hard(m, biased, false);
    char text[64];
    std::snprintf(text, sizeof text, "%.17Le", x);
    char digits[18];
    int point = 0;
    Extended value;  // the same bits, whichever type the build computes in
    std::memcpy(&value, &x, 10);
    DecimalExpansion18ByBigInteger(value, digits, point);
    ASSERT_EQ(std::string(digits, 18), std::string(1, text[0]) + std::string(text + 2, 17)) << text;
    ASSERT_EQ(point, std::atoi(text + 20) + 1) << text;
  }
}

#endif

}  // namespace
}  // namespace tavimo
