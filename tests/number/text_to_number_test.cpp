#include "number/text_to_number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace tavimo {
namespace {

TEST(TextToNumber, DecimalSyntax) {
  EXPECT_EQ(TextToNumber("50"), 50);
  EXPECT_EQ(TextToNumber("10.25"), 10.25L);
  EXPECT_EQ(TextToNumber(" 55"), 55);
  EXPECT_EQ(TextToNumber("\t\n 7"), 7);
  EXPECT_EQ(TextToNumber("-7"), -7);
  EXPECT_EQ(TextToNumber("+3.5"), 3.5L);
  EXPECT_EQ(TextToNumber(".5"), 0.5L);
  EXPECT_EQ(TextToNumber("-.25"), -0.25L);
  EXPECT_EQ(TextToNumber("0.1"), 0.1L);  // correctly rounded to extended
  EXPECT_EQ(TextToNumber("1E2"), 100);
  EXPECT_EQ(TextToNumber("1.5D3"), 1500);
  EXPECT_EQ(TextToNumber("25e-1"), 2.5L);
  EXPECT_EQ(TextToNumber("2d+2"), 200);
  EXPECT_EQ(TextToNumber("3E"), 3);
}

TEST(TextToNumber, StopsAtFirstCharacterThatDoesNotFit) {
  EXPECT_EQ(TextToNumber("12abc"), 12);
  EXPECT_EQ(TextToNumber("10,5"), 10);
  EXPECT_EQ(TextToNumber("1.2.3"), 1.2L);
  EXPECT_EQ(TextToNumber("4 5"), 4);
  EXPECT_EQ(TextToNumber("\r5"), 0);  // a carriage return is no blank
  EXPECT_EQ(TextToNumber("- 5"), 0);
}

TEST(TextToNumber, NoLeadingNumberGivesZero) {
  EXPECT_EQ(TextToNumber(""), 0);
  EXPECT_EQ(TextToNumber("abc"), 0);
  EXPECT_EQ(TextToNumber("-"), 0);
  EXPECT_EQ(TextToNumber("."), 0);
  EXPECT_EQ(TextToNumber("E5"), 0);
  EXPECT_EQ(TextToNumber("   "), 0);
}

TEST(TextToNumber, OtherBases) {
  EXPECT_EQ(TextToNumber("&H40"), 64);
  EXPECT_EQ(TextToNumber("&hff"), 255);
  EXPECT_EQ(TextToNumber("&O17"), 15);
  EXPECT_EQ(TextToNumber("&q17"), 15);
  EXPECT_EQ(TextToNumber("&17"), 15);
  EXPECT_EQ(TextToNumber("&B101"), 5);
  EXPECT_EQ(TextToNumber("&b1012"), 5);
  EXPECT_EQ(TextToNumber("&O78"), 7);
  EXPECT_EQ(TextToNumber("&"), 0);
  EXPECT_EQ(TextToNumber("&X10"), 0);
  EXPECT_EQ(TextToNumber("&8"), 0);
  EXPECT_EQ(TextToNumber("  &H10"), 16);
  // Longer than 64 bits: rounded once, to nearest.
  EXPECT_EQ(TextToNumber("&H10000000000000001"), 0x1p64L);
  EXPECT_EQ(TextToNumber("&H10000000000000003"), 0x1p64L + 4);
}

TEST(TextToNumber, ExponentCap) {
  EXPECT_TRUE(std::isinf(TextToNumber("1E99999")));
  EXPECT_EQ(TextToNumber("1E-99999"), 0);
  EXPECT_EQ(TextToNumber("1E4000"), std::strtold("1e4000", nullptr));
  // The cap is applied to the exponent, not to the value.
  EXPECT_EQ(TextToNumber("0.000001E10003"), TextToNumber("0.000001E9999"));
}

TEST(TextToNumber, SameValuesUnderDecimalCommaLocale) {
  const char* texts[] = {"10.25", "-0.1", "1.5D3", ".5", "10,5", "&H40", "3.14159265358979323846"};
  long double inC[std::size(texts)];
  for (std::size_t i = 0; i < std::size(texts); ++i) inC[i] = TextToNumber(texts[i]);
  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is missing (scripts/setup makes it)";
  for (std::size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(TextToNumber(texts[i]), inC[i]) << texts[i];
  EXPECT_EQ(TextToNumber("10,5"), 10);
  std::setlocale(LC_ALL, old.c_str());
}

TEST(RoundHalfEven, TiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(2.5L), 2);
  EXPECT_EQ(RoundHalfEven(3.5L), 4);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_EQ(RoundHalfEven(90.5L), 90);
  EXPECT_EQ(RoundHalfEven(90.6L), 91);
  EXPECT_EQ(RoundHalfEven(-0.4L), 0);
}

TEST(RoundToInt32, RangeEdges) {
  EXPECT_EQ(RoundToInt32(2147483647.4L), 2147483647);
  EXPECT_EQ(RoundToInt32(-2147483648.5L), -2147483648);  // the tie goes to the even, in range
  EXPECT_FALSE(RoundToInt32(2147483647.5L).has_value());
  EXPECT_FALSE(RoundToInt32(-2147483649.0L).has_value());
  EXPECT_FALSE(RoundToInt32(INFINITY).has_value());
  EXPECT_FALSE(RoundToInt32(NAN).has_value());
}

}  // namespace
}  // namespace tavimo
