#include "number/text_to_number.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "number/digits_to_extended.h"

namespace tavimo {
namespace {

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

// A whole number in base 16, 8 or 2, correctly rounded to extended. `used`
// counts the digits read.
long double ReadBased(std::string_view digits, int base, std::size_t& used) {
  used = 0;
  while (used < digits.size() && DigitValue(digits[used]) < base) ++used;
  return BasedToExtended(digits.substr(0, used), base);
}

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

NumberPrefix ReadNumberPrefix(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  if (i == n) return {0, n};

  if (text[i] == '&') {
    ++i;
    if (i == n) return {0, 0};
    const char letter = text[i];
    int base = 0;
    std::size_t first = i + 1;
    switch (letter) {
      case 'H': case 'h': base = 16; break;
      case 'O': case 'o': case 'Q': case 'q': base = 8; break;
      case 'B': case 'b': base = 2; break;
      default:
        if (!IsDigit(letter)) return {0, 0};
        base = 8;
        first = i;
    }
    std::size_t used = 0;
    const long double value = ReadBased(text.substr(first), base, used);
    return {value, used == 0 ? 0 : first + used};
  }

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::string digits;
  std::int64_t placesAfterPoint = 0;
  bool seenPoint = false;
  for (; i < n; ++i) {
    const char ch = text[i];
    if (IsDigit(ch)) {
      digits.push_back(ch);
      if (seenPoint) ++placesAfterPoint;
    } else if (ch == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (digits.empty()) return {0, 0};

  std::int64_t exponent10 = 0;
  if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    long exponent = 0;
    for (; i < n && IsDigit(text[i]); ++i)
      exponent = std::min(exponent * 10 + (text[i] - '0'), 10000L);
    // An exponent beyond 9999 counts as 9999.
    if (exponent > 9999) exponent = 9999;
    exponent10 = negativeExponent ? -exponent : exponent;
  }
  return {DecimalToExtended(negative, digits, exponent10 - placesAfterPoint), i};
}

long double TextToNumber(std::string_view text) { return ReadNumberPrefix(text).value; }

bool HasUnreadText(std::string_view text) {
  const std::size_t end = ReadNumberPrefix(text).end;
  for (std::size_t i = end; i < text.size(); ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n') return true;
  return false;
}

long double RoundHalfEven(long double value) { return std::nearbyintl(value); }

std::optional<std::int32_t> RoundToInt32(long double value) {
  const long double rounded = RoundHalfEven(value);
  if (!(rounded >= -2147483648.0L && rounded <= 2147483647.0L)) return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

}  // namespace tavimo
