#pragma once
// PLACEHOLDER until the exact version is merged.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
namespace tavimo {
class ExactDecimal {
 public:
  long double value = 0;
  long double ToExtended() const { return value; }
  bool IsZero() const { return value == 0; }
  bool IsNegative() const { return value < 0; }
  std::string Text() const;
  ExactDecimal Times(std::int64_t k) const { return {value * k}; }
};
ExactDecimal ReadExactDecimal(std::string_view text);
struct Fit {
  bool whole;
  std::int64_t count;
  ExactDecimal total;
};
std::optional<Fit> FitToMultiple(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t countLimit);
}  // namespace tavimo
