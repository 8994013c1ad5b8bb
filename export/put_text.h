#pragma once
// Pieces of the writers' lines, formatted straight into a write buffer that
// has room for them (kMaxNumberText for each number).

#include <cstddef>
#include <cstring>

#include "textout/number_text.h"

namespace tavimo::put {

// NumberString(value), without a std::string.
[[gnu::always_inline]] inline char* PutNumber(char* p, long double value) {
  return p + FormatNumber(p, value, 15, false);
}

// "-" and TrimLeadingBlanks(NumberString(value)). A number's text has one
// blank at most, in its sign position: the number is put where the dash
// goes, and the dash takes the place of that blank.
[[gnu::always_inline]] inline char* PutDashAndTrimmed(char* p, long double value) {
  char* end = PutNumber(p, value);
  if (*p != ' ') {  // a negative number keeps its sign after the dash
    std::memmove(p + 1, p, static_cast<std::size_t>(end - p));
    ++end;
  }
  *p = '-';
  return end;
}

}  // namespace tavimo::put
