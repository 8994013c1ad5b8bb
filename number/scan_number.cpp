#include "number/scan_number.h"

#include <algorithm>

namespace tavimo {
namespace {

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

ScannedNumber ScanNumber(std::string_view text) {
  ScannedNumber out;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  if (i == n) {
    out.end = n;
    return out;
  }

  if (text[i] == '&') {
    ++i;
    if (i == n) return out;
    const char letter = text[i];
    std::size_t first = i + 1;
    switch (letter) {
      case 'H': case 'h': out.base = 16; break;
      case 'O': case 'o': case 'Q': case 'q': out.base = 8; break;
      case 'B': case 'b': out.base = 2; break;
      default:
        if (!IsDigit(letter)) return out;
        out.base = 8;
        first = i;
    }
    std::size_t last = first;
    while (last < n && DigitValue(text[last]) < out.base) ++last;
    if (last == first) return out;
    out.digits.assign(text.substr(first, last - first));
    out.end = last;
    return out;
  }

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::int64_t placesAfterPoint = 0;
  bool seenPoint = false;
  for (; i < n; ++i) {
    const char ch = text[i];
    if (IsDigit(ch)) {
      out.digits.push_back(ch);
      if (seenPoint) ++placesAfterPoint;
    } else if (ch == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (out.digits.empty()) return out;

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
  out.negative = negative;
  out.exponent10 = exponent10 - placesAfterPoint;
  out.end = i;
  return out;
}

}  // namespace tavimo
