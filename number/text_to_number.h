#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include "number/extended.h"

namespace tavimo {

// The number at the start of a field's text: leading blanks (space, tab,
// line feed), then "&H"/"&O"/"&Q"/"&B"/"&digit" whole numbers in another
// base, or a signed decimal with at most one "." and an optional exponent
// (E, e, D or d; capped at 9999). Reading stops at the first character that
// does not fit; a text without a leading number gives 0. The value is
// rounded once, to nearest (ties to even), the same in every locale and on
// every platform.
Extended TextToNumber(std::string_view text);

// TextToNumber's value, and where its reading stopped: the index after the
// last character read as part of the number (0 when no number was read).
struct NumberPrefix {
  Extended value;
  std::size_t end;
};
NumberPrefix ReadNumberPrefix(std::string_view text);

// Whether `text` holds characters, other than blanks, that TextToNumber
// passes over ("10,5", "abc"): the field may not mean what it reads as.
bool HasUnreadText(std::string_view text);

// Nearest integer, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4).
Extended RoundHalfEven(Extended value);

// RoundHalfEven(value) as a signed 32-bit integer, or nothing when it lies
// outside that range (or is not a number).
std::optional<std::int32_t> RoundToInt32(Extended value);

}  // namespace tavimo
