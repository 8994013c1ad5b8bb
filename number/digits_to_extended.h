#pragma once
#include <cstdint>
#include <string_view>
#include "number/extended.h"

namespace tavimo {

// The Extended nearest to the exact value of `digits` (decimal digits
// only, any number of them) times 10^exponent10, an exact half to the even
// neighbour: subnormals by gradual underflow, too large to infinity, too
// small to zero, and the sign of `negative` also on zero and infinity.
// Exact integer arithmetic, no locale and no C library reading, so every
// platform gets the same bits.
Extended DecimalToExtended(bool negative, std::string_view digits, std::int64_t exponent10);

// The same for a nonnegative whole number in base 16, 8 or 2; `digits`
// holds only digits of that base (0-9, a-f, A-F).
Extended BasedToExtended(std::string_view digits, int base);

}  // namespace tavimo
