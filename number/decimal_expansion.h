#pragma once
// The exact 18-digit expansion behind every number's text.

#include "number/extended.h"

namespace tavimo {

// The magnitude of a finite, non-zero value rounded to 18 significant
// digits (ties to even): digits[0..17] as '0'..'9' with digits[0] != '0',
// and the decimal point position P (magnitude = 0.d1d2...d18 x 10^P).
void DecimalExpansion18(Extended value, char digits[18], int& pointPosition);

// The same result with arbitrarily long integers: exact for every finite
// value (subnormals included), but many times slower. DecimalExpansion18
// falls back on it for magnitudes far outside drawing coordinates; the
// benchmarks compare the two. Its own code rather than the platform's
// to_chars, which not every C++ library has for this type.
void DecimalExpansion18ByBigInteger(Extended value, char digits[18], int& pointPosition);

// The same at `significant` digits (1 to 18): digits[0..significant).
void DecimalExpansionByBigInteger(Extended value, int significant, char* digits, int& pointPosition);

// printf("%.*f", decimals, value) of a double, 0 <= decimals <= 20: the
// exact value rounded to even, "inf", "-inf" or "nan" as the C++ library
// names them. Writes at p (up to 331 characters) and returns the end.
char* PutFixedDecimal(char* p, double value, int decimals);

}  // namespace tavimo
