#include "number/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "number/fast_number_text.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

using x87::kPowers;
using x87::kTen18;
using x87::u128;
using x87::u64;

char* WriteDecimal(char* out, unsigned value) {
  char reversed[12];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *out++ = reversed[--n];
  return out;
}

// The rules step by step on the characters of the 18-digit expansion. Every
// value and digit count the fast path below leaves aside comes here: zero's
// neighbours of every size, huge values, infinities, NaNs, odd encodings.
// Kept out of line: inlined, it would burden the fast path's every call.
[[gnu::noinline, gnu::cold]] std::size_t FormatGeneral(char* out, Extended value, int digits, bool item) {
  if (digits < 1) digits = 1;
  if (digits > 18) digits = 18;
  char* p = out;
  *p++ = SignBit(value) && value != 0 ? '-' : ' ';

  if (value == 0) {
    *p++ = '0';
  } else if (IsNan(value)) {
    p[-1] = ' ';
    std::memcpy(p, "NaN", 3);
    p += 3;
  } else if (IsInf(value)) {
    std::memcpy(p, "Inf", 3);
    p += 3;
  } else {
    char d[19];
    int point = 0;
    DecimalExpansion18(value, d, point);

    // Digit N+1 alone decides; a 5 rounds to even whatever follows it.
    const int n = digits;
    if (n < 18) {
      const char next = d[n];
      const bool up = next > '5' || (next == '5' && ((d[n - 1] - '0') & 1) != 0);
      if (up) {
        int k = n - 1;
        while (k >= 0 && d[k] == '9') d[k--] = '0';
        if (k >= 0) {
          ++d[k];
        } else {
          d[0] = '1';
          for (int i = 1; i < n; ++i) d[i] = '0';
          ++point;
        }
      }
    }
    int significant = n;
    while (significant > 1 && d[significant - 1] == '0') --significant;

    if (significant <= point && point <= n) {
      std::memcpy(p, d, significant);
      p += significant;
      for (int i = significant; i < point; ++i) *p++ = '0';
    } else if (point > 0 && point < significant) {
      std::memcpy(p, d, point);
      p += point;
      *p++ = '.';
      std::memcpy(p, d + point, significant - point);
      p += significant - point;
    } else if (point <= 0 && significant - point <= n) {
      *p++ = '.';
      for (int i = 0; i < -point; ++i) *p++ = '0';
      std::memcpy(p, d, significant);
      p += significant;
    } else {
      // Exponent form: d1[.d2...dS]E[+-]exp
      *p++ = d[0];
      if (significant > 1) {
        *p++ = '.';
        std::memcpy(p, d + 1, significant - 1);
        p += significant - 1;
      }
      const int exponent = point - 1;
      *p++ = 'E';
      *p++ = exponent < 0 ? '-' : '+';
      p = WriteDecimal(p, static_cast<unsigned>(exponent < 0 ? -exponent : exponent));
    }
  }
  if (item) *p++ = ' ';
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t FormatNumber(char* out, Extended value, int digits, bool item) {
  if (digits == 15) {
    if (const std::size_t size = fast::Format<15>(out, value, item)) return size;
  } else if (digits == 7) {
    if (const std::size_t size = fast::Format<7>(out, value, item)) return size;
  }
  return FormatGeneral(out, value, digits, item);
}

std::string NumberString(Extended value) {
  char text[kMaxNumberText];
  return std::string(text, FormatNumber(text, value, 15, false));
}

std::string FormatNumberItem(Extended value, int digits) {
  char text[kMaxNumberText];
  return std::string(text, FormatNumber(text, value, digits, true));
}

std::string TrimLeadingBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

}  // namespace tavimo
