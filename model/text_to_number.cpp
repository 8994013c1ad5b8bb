#include "model/text_to_number.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace tavimo {
namespace {

// strtold rounds correctly but reads the decimal point from the locale;
// a private "C" locale object keeps the global one out of it.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

long double ParseCanonical(const std::string& text) {
  return strtold_l(text.c_str(), nullptr, CLocale());
}

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

// A whole number in base 16, 8 or 2, correctly rounded to extended: the
// digits become bits and strtold reads them back as a hexadecimal number.
// `used` counts the digits read.
long double ReadBased(std::string_view digits, int base, std::size_t& used) {
  const int bitsPerDigit = base == 16 ? 4 : base == 8 ? 3 : 1;
  std::string bits;
  used = 0;
  for (char ch : digits) {
    const int v = DigitValue(ch);
    if (v >= base) break;
    ++used;
    for (int b = bitsPerDigit - 1; b >= 0; --b) bits.push_back(((v >> b) & 1) ? '1' : '0');
  }
  const auto first = bits.find('1');
  if (first == std::string::npos) return 0;
  bits.erase(0, first);
  bits.insert(0, (4 - bits.size() % 4) % 4, '0');
  std::string hex = "0x";
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    const int v = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 + (bits[i + 3] - '0');
    hex.push_back("0123456789abcdef"[v]);
  }
  return ParseCanonical(hex);
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

  std::string canonical;
  if (text[i] == '+' || text[i] == '-') canonical.push_back(text[i++]);
  bool anyDigit = false;
  bool seenPoint = false;
  for (; i < n; ++i) {
    const char ch = text[i];
    if (IsDigit(ch)) {
      anyDigit = true;
    } else if (ch == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
    canonical.push_back(ch);
  }
  if (!anyDigit) return {0, 0};

  if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long exponent = 0;
    for (; i < n && IsDigit(text[i]); ++i)
      exponent = std::min(exponent * 10 + (text[i] - '0'), 10000L);
    // An exponent beyond 9999 counts as 9999.
    if (exponent > 9999) exponent = 9999;
    canonical += negative ? "e-" : "e";
    canonical += std::to_string(exponent);
  }
  return {ParseCanonical(canonical), i};
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
