#include "number/exact_decimal.h"

#include <algorithm>
#include <vector>

#include "number/digits_to_extended.h"
#include "number/number_text.h"
#include "number/scan_number.h"

namespace tavimo {
namespace {

using u128 = unsigned __int128;

// Whole numbers in base 10^9, least significant limb first: products and
// base conversion on 64-bit words, with digits that map straight to text.
using Limbs = std::vector<std::uint32_t>;
constexpr std::uint32_t kLimbBase = 1000000000;
constexpr int kLimbDigits = 9;

Limbs ToLimbs(std::string_view digits) {
  Limbs limbs;
  limbs.reserve(digits.size() / kLimbDigits + 1);
  for (std::size_t end = digits.size(); end > 0;) {
    const std::size_t begin = end > kLimbDigits ? end - kLimbDigits : 0;
    std::uint32_t limb = 0;
    for (std::size_t i = begin; i < end; ++i) limb = limb * 10 + static_cast<std::uint32_t>(digits[i] - '0');
    limbs.push_back(limb);
    end = begin;
  }
  return limbs;
}

// Without leading zeros: "" for zero.
std::string ToDigits(const Limbs& limbs) {
  std::string digits;
  digits.reserve(limbs.size() * kLimbDigits);
  for (std::size_t k = limbs.size(); k-- > 0;) {
    char chunk[kLimbDigits];
    std::uint32_t limb = limbs[k];
    for (int i = kLimbDigits - 1; i >= 0; --i, limb /= 10) chunk[i] = static_cast<char>('0' + limb % 10);
    digits.append(chunk, kLimbDigits);
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  return digits;
}

// a * b, b short; every partial sum stays below 10^18 + 2 * 10^9.
Limbs Multiply(const Limbs& a, const Limbs& b) {
  Limbs product(a.size() + b.size(), 0);
  for (std::size_t j = 0; j < b.size(); ++j) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::uint64_t t = product[i + j] + std::uint64_t{a[i]} * b[j] + carry;
      product[i + j] = static_cast<std::uint32_t>(t % kLimbBase);
      carry = t / kLimbBase;
    }
    product[j + a.size()] = static_cast<std::uint32_t>(carry);
  }
  return product;
}

Limbs LimbsOf(std::uint64_t value) {
  Limbs limbs;
  for (; value != 0; value /= kLimbBase) limbs.push_back(static_cast<std::uint32_t>(value % kLimbBase));
  return limbs;
}

// A whole number in base 16, 8 or 2 as decimal digits, taking the digits
// in chunks of up to 30 bits.
std::string BasedToDecimal(std::string_view digits, int base) {
  const int bitsPerDigit = base == 16 ? 4 : base == 8 ? 3 : 1;
  const std::size_t perChunk = static_cast<std::size_t>(30 / bitsPerDigit);
  Limbs limbs;
  for (std::size_t i = 0; i < digits.size(); i += perChunk) {
    const std::string_view chunk = digits.substr(i, perChunk);
    std::uint64_t value = 0;
    for (char ch : chunk) value = value * static_cast<std::uint64_t>(base) +
                                  static_cast<std::uint64_t>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10);
    const std::uint64_t factor = std::uint64_t{1} << (bitsPerDigit * chunk.size());
    std::uint64_t carry = value;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t t = limb * factor + carry;  // below 2^30 * 10^9 + 2^31
      limb = static_cast<std::uint32_t>(t % kLimbBase);
      carry = t / kLimbBase;
    }
    for (; carry != 0; carry /= kLimbBase) limbs.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
  }
  return ToDigits(limbs);
}

// The position just above the leading digit: 10^(a-1) <= |value| < 10^a.
std::int64_t Scale(const ExactDecimal& value) {
  return static_cast<std::int64_t>(value.Digits().size()) + value.Exponent();
}

// |a| against |b|, without lining the digits up: normalized digits of the
// same scale compare as text, the shorter first when one begins the other.
int CompareMagnitude(const ExactDecimal& a, const ExactDecimal& b) {
  if (a.IsZero() || b.IsZero()) return static_cast<int>(!a.IsZero()) - static_cast<int>(!b.IsZero());
  const std::int64_t scaleA = Scale(a);
  const std::int64_t scaleB = Scale(b);
  if (scaleA != scaleB) return scaleA < scaleB ? -1 : 1;
  const int order = a.Digits().compare(b.Digits());
  return (order > 0) - (order < 0);
}

// value * factor, the sign given.
ExactDecimal Product(bool negative, const ExactDecimal& value, std::uint64_t factor) {
  if (value.IsZero() || factor == 0) return ExactDecimal();
  return ExactDecimal::FromDigits(negative, ToDigits(Multiply(ToLimbs(value.Digits()), LimbsOf(factor))),
                                  value.Exponent());
}

// The first `count` (at most 38) digits of |value| as one number, zeros
// past its last digit: floor(|value| / 10^(Scale(value) - count)).
u128 LeadingDigits(const ExactDecimal& value, std::int64_t count) {
  u128 result = 0;
  const std::string_view digits = value.Digits();
  for (std::int64_t i = 0; i < count; ++i)
    result = result * 10 + (i < static_cast<std::int64_t>(digits.size()) ? static_cast<unsigned>(digits[i] - '0') : 0u);
  return result;
}

// floor(|total| / |cell|) for nonzero values whose quotient is known to be
// at most `bound` (below 2^63, so that the gap below is at most 19).
// Eighteen leading digits of the cell bracket the quotient to within about
// |q| / 10^17 + 2, at most about a hundred, and exact products close the
// bracket: a few passes over the digits, never a long division.
std::uint64_t FloorQuotient(const ExactDecimal& total, const ExactDecimal& cell, std::uint64_t bound) {
  const std::int64_t gap = Scale(total) - Scale(cell);  // 10^(gap-1) < |q| < 10^(gap+1)
  if (gap < 0) return 0;
  // |cell| lies in [c, c + 1) * 10^unit and |total| in [t, t + 1) * 10^unit,
  // with c of 18 digits and t of gap + 18 <= 37:
  // t / (c + 1) <= |q| < (t + 1) / c.
  const std::int64_t unit = Scale(cell) - 18;
  const u128 c = LeadingDigits(cell, 18);
  const u128 t = LeadingDigits(total, Scale(total) - unit);
  std::uint64_t low = static_cast<std::uint64_t>(t / (c + 1));
  const u128 high = (t + 1) / c;
  std::uint64_t high64 = high < bound ? static_cast<std::uint64_t>(high) : bound;
  // The largest m in [low, high64] with m * |cell| <= |total|; low is one.
  while (low < high64) {
    const std::uint64_t middle = low + (high64 - low + 1) / 2;
    if (CompareMagnitude(Product(false, cell, middle), total) <= 0)
      low = middle;
    else
      high64 = middle - 1;
  }
  return low;
}

// digits * 10^exponent written out, without a sign: "469.392", ".05", "1200".
std::string PlainDigits(std::string_view digits, std::int64_t exponent) {
  const auto size = static_cast<std::int64_t>(digits.size());
  if (exponent >= 0) return std::string(digits) + std::string(static_cast<std::size_t>(exponent), '0');
  if (-exponent < size) {
    const auto point = static_cast<std::size_t>(size + exponent);
    return std::string(digits.substr(0, point)) + "." + std::string(digits.substr(point));
  }
  return "." + std::string(static_cast<std::size_t>(-exponent - size), '0') + std::string(digits);
}

std::size_t PlainLength(std::int64_t size, std::int64_t exponent) {
  if (exponent >= 0) return static_cast<std::size_t>(size + exponent);
  return static_cast<std::size_t>(-exponent < size ? size + 1 : 1 - exponent);
}

constexpr std::size_t kLongestPlainText = 30;
constexpr std::int64_t kLargestWrittenExponent = 9999;  // the reader's cap

}  // namespace

ExactDecimal ExactDecimal::FromInteger(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return FromDigits(negative, ToDigits(LimbsOf(magnitude)), 0);
}

ExactDecimal ExactDecimal::FromDigits(bool negative, std::string_view digits, std::int64_t exponent10) {
  ExactDecimal out;
  out.negative_ = negative;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return out;
  const std::size_t last = digits.find_last_not_of('0');
  out.digits_.assign(digits.substr(first, last + 1 - first));
  out.exponent_ = exponent10 + static_cast<std::int64_t>(digits.size() - 1 - last);
  return out;
}

Extended ExactDecimal::ToExtended() const { return DecimalToExtended(negative_, digits_, exponent_); }

std::string ExactDecimal::Text() const {
  std::string usual = NumberString(ToExtended());
  if (ReadExactDecimal(usual) == *this) return usual;

  const std::string sign = IsNegative() ? "-" : " ";
  const auto size = static_cast<std::int64_t>(digits_.size());
  const std::size_t plainLength = PlainLength(size, exponent_);
  // d.ddd E x, with x held to the reader's range and the rest of the scale
  // left in the digits.
  const std::int64_t leading = size - 1 + exponent_;
  const std::int64_t written = std::clamp(leading, -kLargestWrittenExponent, kLargestWrittenExponent);
  const std::string exponentText =
      (written < 0 ? "E-" : "E+") + ToDigits(LimbsOf(static_cast<std::uint64_t>(written < 0 ? -written : written)));
  const std::size_t exponentLength = PlainLength(size, exponent_ - written) + exponentText.size();
  if (plainLength <= kLongestPlainText || plainLength <= exponentLength) return sign + PlainDigits(digits_, exponent_);
  return sign + PlainDigits(digits_, exponent_ - written) + exponentText;
}

bool operator==(const ExactDecimal& a, const ExactDecimal& b) {
  return a.IsNegative() == b.IsNegative() && a.digits_ == b.digits_ && a.exponent_ == b.exponent_;
}

std::weak_ordering operator<=>(const ExactDecimal& a, const ExactDecimal& b) {
  const int signA = a.IsNegative() ? -1 : a.IsZero() ? 0 : 1;
  const int signB = b.IsNegative() ? -1 : b.IsZero() ? 0 : 1;
  if (signA != signB) return signA <=> signB;
  const int magnitude = CompareMagnitude(a, b);
  return (signA < 0 ? -magnitude : magnitude) <=> 0;
}

ExactDecimal operator*(const ExactDecimal& value, std::int64_t factor) {
  const std::uint64_t magnitude = factor < 0 ? 0 - static_cast<std::uint64_t>(factor) : static_cast<std::uint64_t>(factor);
  return Product(value.IsNegative() != (factor < 0), value, magnitude);
}

ExactDecimal ReadExactDecimal(std::string_view text) {
  const ScannedNumber number = ScanNumber(text);
  if (number.base != 10) return ExactDecimal::FromDigits(false, BasedToDecimal(number.digits, number.base), 0);
  return ExactDecimal::FromDigits(number.negative, number.digits, number.exponent10);
}

std::optional<Fit> FitToMultiple(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t countLimit) {
  if (cell.IsZero() || total.IsZero()) return Fit{true, 0, total};
  const std::uint64_t limit = countLimit < 0 ? 0 : static_cast<std::uint64_t>(countLimit);
  const bool positive = total.IsNegative() == cell.IsNegative();
  // q > 0: the count, ceil(q), exceeds the limit when q does. q < 0: its
  // magnitude, floor(|q|), exceeds it when |q| >= limit + 1. Either way one
  // product settles it, before any digits of q are looked for.
  if (positive ? CompareMagnitude(total, Product(false, cell, limit)) > 0
               : CompareMagnitude(total, Product(false, cell, limit + 1)) >= 0)
    return std::nullopt;
  const std::uint64_t floor = FloorQuotient(total, cell, limit);
  if (CompareMagnitude(Product(false, cell, floor), total) == 0)
    return Fit{true, positive ? static_cast<std::int64_t>(floor) : -static_cast<std::int64_t>(floor), total};
  // Not whole: up from q is away from zero when q > 0, toward it when q < 0.
  const std::int64_t count = positive ? static_cast<std::int64_t>(floor + 1) : -static_cast<std::int64_t>(floor);
  return Fit{false, count, cell * count};
}

std::optional<std::int64_t> ExactQuotient(const ExactDecimal& total, const ExactDecimal& cell, std::int64_t limit) {
  if (cell.IsZero()) return std::nullopt;
  const auto fit = FitToMultiple(total, cell, limit);
  if (!fit || !fit->whole) return std::nullopt;
  return fit->count;
}

}  // namespace tavimo
