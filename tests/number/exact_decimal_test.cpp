#include "number/exact_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "number/text_to_number.h"

namespace tavimo {
namespace {

constexpr std::int64_t kInt32Limit = 2147483647;
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

ExactDecimal D(std::string_view text) { return ReadExactDecimal(text); }

// Texts of every form the fields read, odd ones included.
std::vector<std::string> SampleTexts() {
  std::vector<std::string> texts = {
      "", "   ", "abc", "-", ".", "E5", "- 5", "\r5", "0", "-0", "-0.0E5", "+0", "50", " 55", "\t\n 7", "-7", "+3.5",
      ".5", "-.25", "0.1", "0.30", "10.25", "10,5", "1.2.3", "12abc", "1E2", "1.5D3", "25e-1", "2d+2", "3E", "3E+",
      "-12.5e+3xyz", "469.392", "1E4000", "-1E-4940", "1E-4952", "1E99999", "1E-99999", "0.000001E10003",
      "&H40", "&hff", "&O17", "&q17", "&17", "&B101", "&b1012", "&O78", "&", "&X10", "&8", "  &H10", "&H",
      "&H10000000000000001", "&H10000000000000003", "&HFFFFFFFFFFFFFFFFFFFFFFFF", "0.1000000000000000000001",
      "2147483647.5", "-2147483648.5", "9007199254740993", "18446744073709551615.5", "1.18973149535723176502E+4932",
      "1.18973149535723176508E+4932", "3.64519953188247460253E-4951", "1.82259976594123730126E-4951"};
  texts.push_back("0." + std::string(5000, '0') + "1");
  texts.push_back(std::string(12000, '7') + "E-11990");  // past the reader's 11520-digit cut
  texts.push_back("&H" + std::string(5000, 'F'));
  texts.push_back("&B1" + std::string(200, '0') + "1");
  return texts;
}

TEST(ReadExactDecimal, RoundsToWhatTextToNumberReads) {
  for (const std::string& text : SampleTexts()) {
    const long double exact = D(text).ToExtended();
    const long double rounded = TextToNumber(text);
    EXPECT_EQ(std::memcmp(&exact, &rounded, 10), 0) << text.substr(0, 60);
  }
}

TEST(ReadExactDecimal, KeepsTheValueAsTyped) {
  EXPECT_EQ(D(".3"), D("0.30"));
  EXPECT_EQ(D(".3"), D("3E-1"));
  EXPECT_EQ(D(".3"), D("0.03D1"));
  EXPECT_EQ(D("&H10"), D("16"));
  EXPECT_EQ(D("&20"), D("&B10000"));
  EXPECT_EQ(D("&HFFFFFFFFFFFFFFFFFFFFFFFF"), D("79228162514264337593543950335"));
  EXPECT_EQ(D("0.000001E10003"), D("1E9993"));  // the cap is on the exponent, not the value
  EXPECT_EQ(D("1E99999"), D("1E9999"));
  EXPECT_EQ(D("-0"), D("0"));
  EXPECT_TRUE(std::signbit(D("-0").ToExtended()));
  EXPECT_FALSE(D("-0").IsNegative());
  EXPECT_EQ(D("12,5"), D("12"));
  EXPECT_EQ(D("-.0250").Digits(), "25");
  EXPECT_EQ(D("-.0250").Exponent(), -3);
  // One long double, two values.
  EXPECT_EQ(D(".1").ToExtended(), D("0.1000000000000000000001").ToExtended());
  EXPECT_NE(D(".1"), D("0.1000000000000000000001"));
}

TEST(ExactDecimal, OrderAndProducts) {
  const std::vector<ExactDecimal> ascending = {D("-1E300"), D("-2"), D("-1.5"), D("-1E-4000"), D("0"),
                                               D("1E-4000"), D(".1"), D(".10000001"), D("1"), D("1E300")};
  for (std::size_t i = 0; i + 1 < ascending.size(); ++i) {
    EXPECT_LT(ascending[i], ascending[i + 1]) << i;
    EXPECT_GT(ascending[i + 1], ascending[i]) << i;
  }
  EXPECT_EQ(D(".2") * 4, D(".8"));
  EXPECT_EQ(D("-1.25") * -8, D("10"));
  EXPECT_EQ(D("1E-4000") * 3, D("3E-4000"));
  EXPECT_EQ(D("1") * std::numeric_limits<std::int64_t>::min(), D("-9223372036854775808"));
  EXPECT_EQ(D("123456789.123456789") * 1000000000, D("123456789123456789"));
  EXPECT_FALSE((D("-5") * 0).IsNegative());
  EXPECT_EQ(ExactDecimal::FromInteger(-55), D("-55"));
}

struct FitCase {
  const char* total;
  const char* cell;
  std::int64_t limit;
  bool fits;
  bool whole;
  std::int64_t count;
  const char* fitted;
};

TEST(FitToMultiple, ExactQuotientsSignsAndLimits) {
  const std::string k40 = "1.234567890123456789012345678901234567891";
  const std::string p40 = "1234567890123456787.777777788777777778878654321098765432109";  // k40 * (10^18 - 1)
  const std::string above = p40 + "1";
  const std::string below = p40.substr(0, p40.size() - 1) + "08";
  const FitCase cases[] = {
      {".3", ".1", kInt32Limit, true, true, 3, ".3"},
      {".7", ".2", kInt32Limit, true, false, 4, ".8"},
      {"52", "5", kInt32Limit, true, false, 11, "55"},
      {"55", "5", kInt32Limit, true, true, 11, "55"},
      {"52", "-5", kInt32Limit, true, false, -10, "50"},
      {"-52", "5", kInt32Limit, true, false, -10, "-50"},
      {"-52", "-5", kInt32Limit, true, false, 11, "-55"},
      {"3", "-5", kInt32Limit, true, false, 0, "0"},
      {"0", ".7", kInt32Limit, true, true, 0, "0"},
      {"5", "0", kInt32Limit, true, true, 0, "5"},  // a zero cell is the caller's
      {"1E300", "1E-4000", kInt32Limit, false, false, 0, nullptr},
      {"1E-4000", "1E300", kInt32Limit, true, false, 1, "1E300"},
      {"-1E-4000", "1E300", kInt32Limit, true, false, 0, "0"},
      {"1E-4000", "1E-4001", kInt32Limit, true, true, 10, "1E-4000"},
      {"10", "1", 10, true, true, 10, "10"},
      {"10", "1", 9, false, false, 0, nullptr},
      {"9.5", "1", 10, true, false, 10, "10"},
      {"9.5", "1", 9, false, false, 0, nullptr},
      {"-10", "1", 9, false, false, 0, nullptr},
      {"-9.5", "1", 9, true, false, -9, "-9"},
      {"1", "1", -1, false, false, 0, nullptr},
      {"9223372036854775807", "1", kInt64Max, true, true, kInt64Max, "9223372036854775807"},
      {"9223372036854775806.5", "1", kInt64Max, true, false, kInt64Max, "9223372036854775807"},
      {"-9223372036854775807.5", "1", kInt64Max, true, false, -kInt64Max, "-9223372036854775807"},
      {"-9223372036854775808", "1", kInt64Max, false, false, 0, nullptr},
      // A long cell: the quotient's last digit needs every digit of both.
      {p40.c_str(), k40.c_str(), kInt64Max, true, true, 999999999999999999, p40.c_str()},
      {above.c_str(), k40.c_str(), kInt64Max, true, false, 1000000000000000000, "1234567890123456789.012345678901234567891"},
      {below.c_str(), k40.c_str(), kInt64Max, true, false, 999999999999999999, p40.c_str()},
  };
  for (const FitCase& c : cases) {
    const auto fit = FitToMultiple(D(c.total), D(c.cell), c.limit);
    const std::string what = std::string(c.total).substr(0, 30) + " / " + std::string(c.cell).substr(0, 30) +
                             " limit " + std::to_string(c.limit);
    ASSERT_EQ(fit.has_value(), c.fits) << what;
    if (!fit) continue;
    EXPECT_EQ(fit->whole, c.whole) << what;
    if (!D(c.cell).IsZero()) {
      EXPECT_EQ(fit->count, c.count) << what;
    }
    EXPECT_EQ(fit->total, D(c.fitted)) << what;
  }
}

TEST(FitToMultiple, QuotientOfAFittedBlock) {
  EXPECT_EQ(ExactQuotient(D(".3"), D(".1"), kInt32Limit), 3);
  EXPECT_EQ(ExactQuotient(D("50"), D("-5"), kInt32Limit), -10);
  EXPECT_EQ(ExactQuotient(D(".7"), D(".2"), kInt32Limit), std::nullopt);
  EXPECT_EQ(ExactQuotient(D("5"), D("0"), kInt32Limit), std::nullopt);
  EXPECT_EQ(ExactQuotient(D("1E300"), D("1E-300"), kInt32Limit), std::nullopt);
}

TEST(ExactDecimalText, NumberStringStyleEveryDigitReadsBack) {
  EXPECT_EQ(D("55").Text(), " 55");
  EXPECT_EQ(D("469.392").Text(), " 469.392");
  EXPECT_EQ(D("-0.5").Text(), "-.5");
  EXPECT_EQ(D("-0").Text(), " 0");
  EXPECT_EQ(D("1E-20").Text(), " 1E-20");
  EXPECT_EQ(D("0.1000000000000000000001").Text(), " .1000000000000000000001");
  EXPECT_EQ(D("-12345678901234567890123.5").Text(), "-12345678901234567890123.5");
  EXPECT_EQ(D("1.2345678901234567890123456789E40").Text(), " 1.2345678901234567890123456789E+40");
  EXPECT_EQ(D("-1.2345678901234567890123456789E-40").Text(), "-1.2345678901234567890123456789E-40");
  // Past the reader's exponent cap the rest of the scale stays in the digits.
  EXPECT_EQ(D("." + std::string(10005, '0') + "11").Text(), " .00000011E-9999");
  EXPECT_EQ(D("12345678901234567890123456789E9999").Text(), " 12345678901234567890123456789E+9999");
  for (const std::string& text : SampleTexts()) {
    const ExactDecimal value = D(text);
    EXPECT_EQ(D(value.Text()), value) << text.substr(0, 60);
  }
}

}  // namespace
}  // namespace tavimo
