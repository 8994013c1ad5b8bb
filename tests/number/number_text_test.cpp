#include "number/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "tests/number/text_by_the_rules.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

TEST(NumberString, FixedPointForms) {
  EXPECT_EQ(NumberString(0.0L), " 0");
  EXPECT_EQ(NumberString(-0.0L), " 0");
  EXPECT_EQ(NumberString(12), " 12");
  EXPECT_EQ(NumberString(1200), " 1200");
  EXPECT_EQ(NumberString(100000000000000.0L), " 100000000000000");
  EXPECT_EQ(NumberString(123456789012345.0L), " 123456789012345");
  EXPECT_EQ(NumberString(2.5L), " 2.5");
  EXPECT_EQ(NumberString(5 * std::sqrt(3.0L)), " 8.66025403784439");
  EXPECT_EQ(NumberString(0.5L), " .5");
  EXPECT_EQ(NumberString(-0.125L), "-.125");
  EXPECT_EQ(NumberString(0.05L), " .05");
  EXPECT_EQ(NumberString(0.000001L), " .000001");
  EXPECT_EQ(NumberString(1e-15L), " .000000000000001");
  EXPECT_EQ(NumberString(1.0L / 3), " .333333333333333");
  EXPECT_EQ(NumberString(2.0L / 3), " .666666666666667");
  EXPECT_EQ(NumberString(-2.5L), "-2.5");
}

TEST(NumberString, ExponentForms) {
  EXPECT_EQ(NumberString(1e15L), " 1E+15");
  EXPECT_EQ(NumberString(1234567890123456.0L), " 1.23456789012346E+15");
  EXPECT_EQ(NumberString(1.1e-15L), " 1.1E-15");
  EXPECT_EQ(NumberString(1e-16L), " 1E-16");
  EXPECT_EQ(NumberString(-1.5e300L), "-1.5E+300");
  EXPECT_EQ(NumberString(std::numeric_limits<long double>::max()), " 1.18973149535723E+4932");
  EXPECT_EQ(NumberString(std::numeric_limits<long double>::denorm_min()), " 3.64519953188247E-4951");
}

TEST(NumberString, OnlyDigitSixteenDecidesAndFiveGoesToEven) {
  EXPECT_EQ(NumberString(123456789012344.5L), " 123456789012344");
  EXPECT_EQ(NumberString(123456789012345.5L), " 123456789012346");
  // The 18-digit expansion is 8.66025403784438583: the 5 after the
  // fifteenth digit rounds to the even 8 although 83 follows.
  EXPECT_EQ(NumberString(8.66025403784438583L), " 8.66025403784438");
}

TEST(FormatNumberItem, SevenDigitItems) {
  EXPECT_EQ(FormatNumberItem(0, 7), " 0 ");
  EXPECT_EQ(FormatNumberItem(-0.0L, 7), " 0 ");
  EXPECT_EQ(FormatNumberItem(2, 7), " 2 ");
  EXPECT_EQ(FormatNumberItem(62, 7), " 62 ");
  EXPECT_EQ(FormatNumberItem(7, 15), " 7 ");
  EXPECT_EQ(FormatNumberItem(12345678, 7), " 1.234568E+7 ");
  EXPECT_EQ(FormatNumberItem(1e-8L, 7), " 1E-8 ");
  EXPECT_EQ(FormatNumberItem(1234566.5L, 7), " 1234566 ");
  EXPECT_EQ(FormatNumberItem(1234566.51L, 7), " 1234566 ");
  EXPECT_EQ(FormatNumberItem(1234567.5L, 7), " 1234568 ");
  EXPECT_EQ(FormatNumberItem(9999999.5L, 7), " 1E+7 ");
  EXPECT_EQ(FormatNumberItem(0.7f, 7), " .7 ");
  EXPECT_EQ(FormatNumberItem(0.3f, 7), " .3 ");
  EXPECT_EQ(FormatNumberItem(0.5f, 7), " .5 ");
  EXPECT_EQ(FormatNumberItem(330.0f, 7), " 330 ");
  EXPECT_EQ(FormatNumberItem(-0.125L, 7), "-.125 ");
}

TEST(TrimLeadingBlanks, OnlySpacesGo) {
  EXPECT_EQ(TrimLeadingBlanks("-12"), "-12");
  EXPECT_EQ(TrimLeadingBlanks(" 12"), "12");
  EXPECT_EQ(TrimLeadingBlanks("   "), "");
  EXPECT_EQ(TrimLeadingBlanks("\t 1"), "\t 1");
  EXPECT_EQ(TrimLeadingBlanks(NumberString(3)), "3");
}

// A random finite 80-bit value of any magnitude: random significand bits
// with the integer bit set (or clear, for subnormals) and a random exponent.
long double RandomValue(std::mt19937_64& rng) {
  std::uint64_t mantissa = rng();
  const int exponentField = static_cast<int>(rng() % 0x7fff);  // never all ones
  if (exponentField == 0) mantissa &= ~(1ULL << 63);
  else mantissa |= 1ULL << 63;
  return x87::FromParts(mantissa, exponentField, (rng() & 1) != 0);
}

// Values that arithmetic on drawing coordinates produces most often.
long double RandomCoordinate(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> scale(-20, 12);
  return static_cast<long double>(unit(rng)) * std::pow(10.0L, scale(rng)) * (1 + 1e-7L * unit(rng));
}

TEST(DecimalExpansion18, MatchesCorrectlyRoundedPrintf) {
  std::mt19937_64 rng(20261207);
  for (int i = 0; i < 300000; ++i) {
    const long double value = (i % 2 == 0) ? RandomValue(rng) : RandomCoordinate(rng);
    if (value == 0) continue;
    char reference[64];
    std::snprintf(reference, sizeof reference, "%.17Le", std::fabs(value));
    char digits[18];
    int point = 0;
    DecimalExpansion18(value, digits, point);
    std::string expected;
    expected += reference[0];
    expected.append(reference + 2, 17);
    ASSERT_EQ(std::string(digits, 18), expected) << reference;
    ASSERT_EQ(point - 1, std::atoi(std::strchr(reference, 'e') + 1)) << reference;
  }
}

TEST(NumberString, SameBytesUnderDecimalCommaLocale) {
  std::mt19937_64 rng(11);
  std::vector<long double> values;
  std::vector<std::string> inC;
  for (int i = 0; i < 2000; ++i) {
    values.push_back(RandomCoordinate(rng));
    inC.push_back(NumberString(values.back()) + FormatNumberItem(values.back(), 7));
  }
  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is missing (scripts/setup makes it)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5");  // the locale really uses a decimal comma
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(NumberString(values[i]) + FormatNumberItem(values[i], 7), inC[i]);
  std::setlocale(LC_ALL, old.c_str());
}

// Checks FormatNumber against the rules for `value` with the given digit
// counts, both forms; counts the values and keeps the first mismatch.
class RuleChecker {
 public:
  void Check(long double value, std::initializer_list<int> counts = {7, 15}) {
    for (int n : counts) {
      for (bool item : {false, true}) {
        ++checked_;
        char text[kMaxNumberText];
        const std::string got(text, FormatNumber(text, value, n, item));
        const std::string expected = ByTheRules(value, n, item);
        if (got != expected && failures_++ == 0) {
          char hex[64];
          std::snprintf(hex, sizeof hex, "%La", value);
          first_ = std::string(hex) + " with " + std::to_string(n) + " digits: \"" + got + "\", expected \"" +
                   expected + "\"";
        }
      }
    }
  }
  ::testing::AssertionResult Result() const {
    if (failures_ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failures_ << " of " << checked_
                                         << " texts differ; first: " << first_;
  }

 private:
  long long checked_ = 0;
  long long failures_ = 0;
  std::string first_;
};

long double Parse(const std::string& text) {
  long double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

TEST(FormatNumber, FollowsTheRulesAcrossMagnitudes) {
  // Random significands at every binary exponent from 2^-45 to 2^70: the
  // magnitudes of drawings and well beyond both ends of them.
  std::mt19937_64 rng(7);
  RuleChecker checker;
  for (int e = -45; e <= 70; ++e) {
    for (int i = 0; i < 3000; ++i) {
      const std::uint64_t significand = rng() | (1ULL << 63);
      checker.Check(x87::FromParts(significand, e + x87::kBias, (rng() & 1) != 0));
    }
  }
  EXPECT_TRUE(checker.Result());
}

TEST(FormatNumber, FollowsTheRulesForWholeNumbers) {
  // Cell numbers, group codes, colours; the ends where whole numbers stop
  // fitting N digits and where the way to their digits changes.
  RuleChecker checker;
  for (long double v = 1; v <= 100000; ++v) checker.Check(v);
  for (long double edge : {1e7L, 1e8L, 1e15L, 8388608.0L, 67108864.0L, 4294967296.0L}) {
    for (long double d = -3; d <= 3; ++d) {
      checker.Check(edge + d);
      checker.Check(-(edge + d));
      checker.Check(edge + d + 0.5L);
    }
  }
  std::mt19937_64 rng(8);
  for (int i = 0; i < 100000; ++i) checker.Check(static_cast<long double>(rng() >> (rng() % 64)));
  EXPECT_TRUE(checker.Result());
}

TEST(FormatNumber, FollowsTheRulesAtTiesAndCarries) {
  // Digit N+1 a 5, with and without digits after it, and runs of nines
  // that carry into a new digit, at decimal exponents -12 .. 19. Then
  // digits after N that the rounding to 18 digits may or may not carry
  // into a 5 or a 6 (4995 or 5994 for 15 digits), with the values next to
  // each.
  std::mt19937_64 rng(9);
  RuleChecker checker;
  const char* const tails[] = {"5", "4", "95"};
  for (int n : {7, 15}) {
    for (int i = 0; i < 60000; ++i) {
      std::string digits;
      const bool nines = i % 4 == 0;
      for (int k = 0; k < n; ++k) digits += nines ? '9' : static_cast<char>('0' + rng() % 10);
      if (digits[0] == '0') digits[0] = '1';
      const bool edge = i % 3 == 0;
      if (edge) {
        digits += (rng() & 1) != 0 ? '4' : '5';
        digits += std::string(static_cast<std::size_t>(17 - n), '9') + tails[rng() % std::size(tails)];
      } else {
        digits += '5';
        for (int k = static_cast<int>(rng() % 3); k > 0; --k) digits += static_cast<char>('0' + rng() % 10);
      }
      const int exponent = static_cast<int>(rng() % 32) - 12 - n;
      const long double value = Parse(digits + "e" + std::to_string(exponent));
      checker.Check(value, {n});
      if (edge) {
        checker.Check(std::nextafter(value, 0.0L), {n});
        checker.Check(std::nextafter(value, 1e30L), {n});
      }
    }
  }
  EXPECT_TRUE(checker.Result());
}

TEST(FormatNumber, EveryDigitCountFollowsTheRules) {
  std::mt19937_64 rng(10);
  RuleChecker checker;
  for (int i = 0; i < 20000; ++i) {
    const long double value = RandomCoordinate(rng);
    for (int n = 1; n <= 18; ++n) checker.Check(value, {n});
  }
  EXPECT_TRUE(checker.Result());
}

TEST(FormatNumber, InfinityAndNan) {
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(NumberString(inf), " Inf");
  EXPECT_EQ(NumberString(-inf), "-Inf");
  EXPECT_EQ(NumberString(std::numeric_limits<long double>::quiet_NaN()), " NaN");
  EXPECT_EQ(FormatNumberItem(-std::numeric_limits<long double>::quiet_NaN(), 7), " NaN ");
}

}  // namespace
}  // namespace tavimo
