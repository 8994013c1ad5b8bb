#pragma once
// Field values kept exactly as typed, for sizes whose fractions count: 0.3
// is a whole multiple of 0.1 here, which no binary value can tell.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "number/extended.h"

namespace tavimo {

// A decimal number, exactly: sign, digits and a power of ten. Normalized,
// so that equal values compare equal however they were written ("0.30",
// ".3", "3E-1").
class ExactDecimal {
 public:
  ExactDecimal() = default;  // zero
  static ExactDecimal FromInteger(std::int64_t value);
  // digits * 10^exponent10; `digits` holds decimal digits only, any number
  // of them, leading and trailing zeros included.
  static ExactDecimal FromDigits(bool negative, std::string_view digits, std::int64_t exponent10);

  bool IsZero() const { return digits_.empty(); }
  // Below zero: a zero read from "-0" is not.
  bool IsNegative() const { return negative_ && !IsZero(); }
  // The value is (-)Digits() * 10^Exponent(): no leading or trailing zero
  // in the digits, which are empty (and the exponent 0) for zero.
  std::string_view Digits() const { return digits_; }
  std::int64_t Exponent() const { return exponent_; }

  // The nearest Extended, ties to even: TextToNumber of the same text,
  // -0 for a zero read from "-0".
  Extended ToExtended() const;

  // The text to show in a field, which ReadExactDecimal reads back to this
  // value. NumberString's text when that already reads back exactly
  // (" 55", "-.5", " 1E-20"); otherwise every digit, in the same style
  // (" .1000000000000000000001"), and in the exponent form
  // ("-1.2345678901234567890123456789E+40") only when the plain digits would
  // be longer than 30 characters and the exponent form is shorter. The
  // exponent written stays within +-9999, as the reader caps it; the rest
  // of the scale stays in the digits.
  std::string Text() const;

  // Zero equals zero, whatever sign it was read with.
  friend bool operator==(const ExactDecimal& a, const ExactDecimal& b);
  friend std::weak_ordering operator<=>(const ExactDecimal& a, const ExactDecimal& b);

  // The exact product. A zero product is +0.
  friend ExactDecimal operator*(const ExactDecimal& value, std::int64_t factor);

 private:
  bool negative_ = false;  // kept on a zero too, for ToExtended
  std::string digits_;
  std::int64_t exponent_ = 0;
};

// Exactly the number at the start of `text` that TextToNumber reads (the
// same characters: blanks, the "&" forms, sign, point, exponent capped at
// 9999; a text without a number is 0), without rounding.
ExactDecimal ReadExactDecimal(std::string_view text);

// A total made a whole multiple of its cell size, by the exact quotient
// q = total / cell (signs included: 52 / -5 = -10.4).
struct Fit {
  bool whole;           // q is a whole number: total is left as it was
  std::int64_t count;   // q when whole, else the next whole number up (ceil);
                        // a negative count is an empty family
  ExactDecimal total;   // count * cell when not whole, else the total given
};

// Nothing when |count| would exceed countLimit (taken as 0 when negative).
// A zero cell counts as whole, with count 0: the caller decides what a zero
// cell means. A zero total is whole with count 0. Exact for any inputs;
// exponents far apart cost no more than close ones.
std::optional<Fit> FitToMultiple(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t countLimit);

// total / cell when it is a whole number of magnitude up to `limit`;
// nothing otherwise, and for a zero cell.
std::optional<std::int64_t> ExactQuotient(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t limit);

}  // namespace tavimo
