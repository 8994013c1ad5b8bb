#pragma once
// Number-to-text rules shared by every output file and by the dialog's
// write-back of corrected totals. Nothing here depends on the locale.

#include <cstddef>
#include <string>
#include <string_view>
#include "number/extended.h"

#include "number/decimal_expansion.h"  // DecimalExpansion18, the digits behind the text

namespace tavimo {

// Longest text FormatNumber can produce (sign, 18 digits, point, "E-4951", blank).
inline constexpr std::size_t kMaxNumberText = 40;

// The string form with 15 significant digits: " 12", "-.125", " 1.1E-15".
std::string NumberString(Extended value);

// The item form with `digits` (1..18) significant digits: " 12 ", " .5 ".
std::string FormatNumberItem(Extended value, int digits);

// `text` without the blanks (character 32 only) at its start.
std::string TrimLeadingBlanks(std::string_view text);

// Writes the text of `value` with `digits` (1..18) significant digits into
// `out`, which must hold kMaxNumberText bytes; `item` adds the trailing
// blank. Returns the length. The allocation-free core of the two above.
std::size_t FormatNumber(char* out, Extended value, int digits, bool item);

}  // namespace tavimo
