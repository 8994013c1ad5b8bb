#pragma once
// The exact 18-digit expansion behind every number's text. DecimalExpansion18
// (declared in textout/number_text.h) is defined next to the function below.

namespace tavimo {

// The same result as DecimalExpansion18 by std::to_chars: exact for every
// finite value, but many times slower. DecimalExpansion18 falls back on it
// for magnitudes far outside drawing coordinates; the benchmarks compare the
// two.
void DecimalExpansion18ByToChars(long double value, char digits[18], int& pointPosition);

}  // namespace tavimo
