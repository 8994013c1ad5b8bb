// TextToNumber's decimal and based readings against glibc's strtold_l in
// the "C" locale, which rounds correctly: the reader itself may use neither.

#include <locale.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "number/text_to_number.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

long double Glibc(const std::string& text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtold_l(text.c_str(), nullptr, c);
}

std::string Hex(long double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%La", v);
  return buffer;
}

// Compares bit for bit (-0 is not 0) and reports the first few texts that
// read otherwise.
struct Checker {
  int failures = 0;
  void Expect(const std::string& text, long double expected, const char* what) {
    const long double got = TextToNumber(text);
    if (std::memcmp(&got, &expected, 10) != 0 && ++failures <= 5)
      ADD_FAILURE() << what << ": " << text.substr(0, 300) << " reads as " << Hex(got) << ", expected " << Hex(expected);
  }
};

std::string RandomDigits(std::mt19937_64& rng, std::size_t count) {
  std::string digits;
  while (digits.size() < count) {
    std::uint64_t bits = rng() >> 1;  // 19 digits of one draw
    for (int i = 0; i < 19 && digits.size() < count; ++i, bits /= 10) digits.push_back(static_cast<char>('0' + bits % 10));
  }
  return digits;
}

// A random decimal text the field may hold (point anywhere or none, any
// exponent letter) and the same number in the form strtold reads.
void CheckRandomDecimal(Checker& check, std::mt19937_64& rng, std::size_t digitCount, long exponentLow,
                        long exponentHigh) {
  std::string digits = RandomDigits(rng, digitCount);
  const std::size_t point = rng() % (digitCount + 2);
  if (point <= digitCount) digits.insert(point, ".");
  const char* sign = rng() % 3 == 0 ? "-" : rng() % 2 ? "+" : "";
  const long exponent = exponentLow + static_cast<long>(rng() % static_cast<unsigned long>(exponentHigh - exponentLow + 1));
  const std::string tail = std::to_string(exponent);
  check.Expect(sign + digits + "EeDd"[rng() % 4] + tail, Glibc(sign + digits + "e" + tail), "random decimal");
}

TEST(DecimalReading, AgreesWithGlibcOnRandomTexts) {
  std::mt19937_64 rng(20240611);
  Checker check;
  for (int i = 0; i < 1'500'000; ++i) CheckRandomDecimal(check, rng, 1 + rng() % 40, -40, 40);
  // The whole range: overflow past 1.19e4932, subnormals and underflow to
  // zero near 1e-4951, exponents capped at 9999.
  for (int i = 0; i < 6'000; ++i) CheckRandomDecimal(check, rng, 1 + rng() % 40, -5000, 4960);
  for (int i = 0; i < 2'000; ++i) CheckRandomDecimal(check, rng, 1 + rng() % 40, -4995, -4925);
  for (int i = 0; i < 2'000; ++i) CheckRandomDecimal(check, rng, 1 + rng() % 40, 4890, 4935);
  for (int i = 0; i < 100; ++i) CheckRandomDecimal(check, rng, 1 + rng() % 40, 9990, 12000);
  for (int i = 0; i < 5'000; ++i) CheckRandomDecimal(check, rng, 41 + rng() % 760, -60, 20);
  for (int i = 0; i < 1'000; ++i) CheckRandomDecimal(check, rng, 41 + rng() % 760, -5750, 4940);
  // Zeros keep their sign, however written.
  for (const char* zero : {"0", "-0", "+0.000", "-.0e-9999", "-000e9999"}) check.Expect(zero, Glibc(zero), "zero");
}

// A random finite long double; exponent fields lo..hi (0: subnormal).
long double RandomValue(std::mt19937_64& rng, unsigned lo, unsigned hi) {
  std::uint64_t significand = rng();
  const auto exponent = static_cast<std::uint16_t>(lo + rng() % (hi - lo + 1));
  significand = exponent == 0 ? significand >> 1 : significand | std::uint64_t{1} << 63;
  return x87::FromParts(significand, exponent, false);
}

bool EvenSignificand(long double value) {
  std::uint64_t significand;
  std::memcpy(&significand, &value, 8);
  return std::isinf(value) || significand % 2 == 0;
}

// The exact decimal expansion of the point halfway between `value` (> 0)
// and the next long double up: a binary128 holds it exactly, and glibc
// prints binary128 values exactly. 20 + k digits hold odd * 2^-k.
std::string Midpoint(long double value) {
  const long double next = std::nextafterl(value, INFINITY);
  const long double unit = std::isinf(next) ? value - std::nextafterl(value, 0) : next - value;
  const __float128 mid = static_cast<__float128>(value) + static_cast<__float128>(unit) / 2;
  const int k = std::abs(std::ilogb(std::max(value, LDBL_TRUE_MIN)) - 64);
  std::string text(k + 64, '\0');
  text.resize(strfromf128(text.data(), text.size(), ("%." + std::to_string(20 + k) + "e").c_str(), mid));
  const std::size_t e = text.find('e');
  const std::size_t last = text.find_last_not_of('0', e - 1);
  return text.substr(0, last + 1) + text.substr(e);
}

// Exactly halfway the even neighbour wins; a little above or below, the
// nearer one.
void CheckHalfway(Checker& check, long double value, bool negative) {
  const std::string mid = Midpoint(value);
  const std::size_t e = mid.find('e');
  const std::string sign = negative ? "-" : "";
  const long double next = std::nextafterl(value, INFINITY);
  const long double even = EvenSignificand(value) ? value : next;
  const std::string above = mid.substr(0, e) + "0001" + mid.substr(e);
  const std::string below = mid.substr(0, e - 1) + static_cast<char>(mid[e - 1] - 1) + "999" + mid.substr(e);
  check.Expect(sign + mid, negative ? -even : even, "halfway");
  check.Expect(sign + above, negative ? -next : next, "above halfway");
  check.Expect(sign + below, negative ? -value : value, "below halfway");
}

TEST(DecimalReading, HalfwayCasesGoToTheEvenNeighbour) {
  std::mt19937_64 rng(7);
  Checker check;
  for (int i = 0; i < 20'000; ++i) CheckHalfway(check, RandomValue(rng, 16383 - 200, 16383 + 200), rng() % 2);
  for (int i = 0; i < 40; ++i) CheckHalfway(check, RandomValue(rng, 0, 32766), rng() % 2);
  for (int i = 0; i < 10; ++i) CheckHalfway(check, RandomValue(rng, 0, 0), false);
  for (long double edge : {LDBL_TRUE_MIN, 2 * LDBL_TRUE_MIN, std::nextafterl(LDBL_MIN, 0), LDBL_MIN, 1.0L,
                           std::nextafterl(LDBL_MAX, 0), LDBL_MAX})
    CheckHalfway(check, edge, false);
  // Half the smallest subnormal is a tie with zero; any more rounds up.
  // Digits far past the ones that can matter still count when nonzero.
  const std::string half = Midpoint(0);
  const std::size_t e = half.find('e');
  check.Expect(half, 0, "half the smallest subnormal");
  check.Expect(half.substr(0, e) + std::string(20'000, '0') + "1" + half.substr(e), LDBL_TRUE_MIN, "just above");
  check.Expect(half.substr(0, e) + std::string(20'000, '0') + half.substr(e), 0, "long tie");
  const std::string one = Midpoint(1.0L);
  check.Expect(one.substr(0, one.find('e')) + std::string(30'000, '0') + "1", std::nextafterl(1.0L, 2), "long, above");
}

// One random whole number in binary, octal and hexadecimal: all read as
// strtold reads the hexadecimal, rounded once.
void CheckBased(Checker& check, std::mt19937_64& rng, std::size_t bitCount) {
  std::string bits(rng() % 3, '0');  // leading zeros read as nothing
  for (std::size_t i = 0; i < bitCount; ++i) bits.push_back(rng() % 2 ? '1' : '0');
  const auto inBase = [&](int bitsPerDigit) {
    std::string padded = std::string((bitsPerDigit - bits.size() % bitsPerDigit) % bitsPerDigit, '0') + bits;
    std::string digits;
    for (std::size_t i = 0; i < padded.size(); i += bitsPerDigit) {
      int v = 0;
      for (int b = 0; b < bitsPerDigit; ++b) v = v * 2 + (padded[i + b] - '0');
      digits.push_back((rng() % 2 ? "0123456789abcdef" : "0123456789ABCDEF")[v]);
    }
    return digits;
  };
  const std::string hex = inBase(4);
  const long double expected = Glibc("0x" + hex);
  check.Expect("&H" + hex, expected, "hexadecimal");
  check.Expect((rng() % 2 ? "&O" : "&q") + inBase(3), expected, "octal");
  check.Expect("&" + inBase(3), expected, "octal, no letter");
  check.Expect("&b" + bits, expected, "binary");
}

TEST(BasedReading, AgreesWithGlibc) {
  std::mt19937_64 rng(99);
  Checker check;
  for (int i = 0; i < 100'000; ++i) CheckBased(check, rng, 1 + rng() % 100);
  for (int i = 0; i < 300; ++i) CheckBased(check, rng, 16'300 + rng() % 200);  // overflow from 16385 bits on
}

}  // namespace
}  // namespace tavimo
