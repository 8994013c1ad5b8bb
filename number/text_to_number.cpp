#include "number/text_to_number.h"

#include <cmath>

#include "number/digits_to_extended.h"
#include "number/scan_number.h"

namespace tavimo {

NumberPrefix ReadNumberPrefix(std::string_view text) {
  const ScannedNumber number = ScanNumber(text);
  if (number.digits.empty()) return {0, number.end};
  if (number.base != 10) return {BasedToExtended(number.digits, number.base), number.end};
  return {DecimalToExtended(number.negative, number.digits, number.exponent10), number.end};
}

Extended TextToNumber(std::string_view text) { return ReadNumberPrefix(text).value; }

bool HasUnreadText(std::string_view text) {
  const std::size_t end = ReadNumberPrefix(text).end;
  for (std::size_t i = end; i < text.size(); ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n') return true;
  return false;
}

Extended RoundHalfEven(Extended value) { return NearestEven(value); }

std::optional<std::int32_t> RoundToInt32(Extended value) {
  const Extended rounded = RoundHalfEven(value);
  if (!(rounded >= -2147483648.0L && rounded <= 2147483647.0L)) return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

}  // namespace tavimo
