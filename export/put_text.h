#pragma once
// Pieces of the writers' lines, formatted straight into a write buffer that
// has room for them (kMaxNumberText for each number).

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "number/extended.h"

#include "number/fast_number_text.h"
#include "number/number_text.h"

namespace tavimo::put {

// NumberString(value), without a std::string.
using fast::PutNumber;

// NumberString(x), separator, NumberString(y), both numbers worked out
// together.
using fast::PutPair;

// "-" and TrimLeadingBlanks(NumberString(value)). A number's text has one
// blank at most, in its sign position: the number is put where the dash
// goes, and the dash takes the place of that blank.
[[gnu::always_inline]] inline char* PutDashAndTrimmed(char* p, Extended value) {
  char* end = PutNumber(p, value);
  if (*p != ' ') {  // a negative number keeps its sign after the dash
    std::memmove(p + 1, p, static_cast<std::size_t>(end - p));
    ++end;
  }
  *p = '-';
  return end;
}

// NumberString(n) of a cell number: a whole number from 1 up is a blank and
// its digits, without a detour through the 80-bit format; anything else
// goes by the rules.
[[gnu::always_inline]] inline char* PutCellNumber(char* p, std::int64_t n) {
  if (n > 0 && n < 100000000) {
    *p = ' ';
    return fast::PutDigits(p + 1, static_cast<std::uint32_t>(n));
  }
  if (n > 0 && n < 1000000000000000) {
    *p = ' ';
    return std::to_chars(p + 1, p + kMaxNumberText, n).ptr;
  }
  return PutNumber(p, static_cast<Extended>(n));
}

// TrimLeadingBlanks(NumberString(n)) of a cell number: the same without
// the blank in its sign position (a number's only blank).
[[gnu::always_inline]] inline char* PutTrimmedCellNumber(char* p, std::int64_t n) {
  if (n > 0 && n < 100000000) return fast::PutDigits(p, static_cast<std::uint32_t>(n));
  if (n > 0 && n < 1000000000000000) return std::to_chars(p, p + kMaxNumberText, n).ptr;
  char text[kMaxNumberText];
  const std::size_t size = FormatNumber(text, static_cast<Extended>(n), 15, false);
  const std::size_t skip = text[0] == ' ' ? 1 : 0;
  std::memcpy(p, text + skip, size - skip);
  return p + size - skip;
}

}  // namespace tavimo::put
