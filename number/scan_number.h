#pragma once
// The grammar of a field's number, apart from its value: TextToNumber rounds
// what this finds, ReadExactDecimal keeps it exact, so both read the same
// characters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavimo {

struct ScannedNumber {
  // 10 for a signed decimal; 16, 8 or 2 for the "&" forms, whole numbers
  // that are never negative and have no exponent.
  int base = 10;
  bool negative = false;
  // The digits read, the point left out; empty when the text has no number.
  std::string digits;
  // A decimal's value is digits * 10^exponent10: the exponent (capped at
  // 9999) less the places after the point.
  std::int64_t exponent10 = 0;
  // The index after the number's last character; 0 when no number was
  // read, the text's length when it holds only blanks.
  std::size_t end = 0;
};

// The number at the start of `text`, as described at TextToNumber.
ScannedNumber ScanNumber(std::string_view text);

}  // namespace tavimo
