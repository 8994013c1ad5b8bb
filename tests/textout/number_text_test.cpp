#include "textout/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

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
  unsigned char bytes[sizeof(long double)] = {};
  std::uint64_t mantissa = rng();
  std::uint16_t exponentField = static_cast<std::uint16_t>(rng() % 0x7fff);  // never all ones
  if (exponentField == 0) mantissa &= ~(1ULL << 63);
  else mantissa |= 1ULL << 63;
  if (rng() & 1) exponentField |= 0x8000;
  std::memcpy(bytes, &mantissa, 8);
  std::memcpy(bytes + 8, &exponentField, 2);
  long double value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
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

}  // namespace
}  // namespace tavimo
