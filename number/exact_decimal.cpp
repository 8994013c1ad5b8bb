// PLACEHOLDER until the exact version is merged.
#include "number/exact_decimal.h"
#include <cmath>
#include "number/number_text.h"
#include "number/text_to_number.h"
namespace tavimo {
std::string ExactDecimal::Text() const { return NumberString(value); }
ExactDecimal ReadExactDecimal(std::string_view text) { return {TextToNumber(text)}; }
std::optional<Fit> FitToMultiple(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t limit) {
  const long double q = total.value / cell.value;
  const long double c = std::ceil(q);
  if (std::fabs(c) > limit) return std::nullopt;
  if (q == c) return Fit{true, static_cast<std::int64_t>(c), total};
  return Fit{false, static_cast<std::int64_t>(c), {c * cell.value}};
}
}  // namespace tavimo
