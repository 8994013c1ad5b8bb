#include "number/digits_to_extended.h"
#include "number/big_number.h"
#include "number/x87_decimal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace tavimo {
namespace {

static_assert(std::numeric_limits<Extended>::digits == 64 && std::numeric_limits<Extended>::max_exponent == 16384,
              "the bits are assembled for the 80-bit x87 Extended");

// A value is m * 2^e with a 64-bit m; the unit e runs from the subnormals'
// 2^-16445 up to 2^16320 (beyond it 2^64 * 2^e passes the largest value).
constexpr std::int64_t kMinUnitExponent = -16445;
constexpr std::int64_t kMaxUnitExponent = 16320;

// Every Extended and every midpoint between two neighbours has at most
// 11515 significant decimal digits ((2^65 - 1) * 5^16446 is the longest), so
// of longer digits only "something nonzero follows" matters: they are cut
// here and a final 1 stands for the rest.
constexpr std::size_t kMaxDigits = 11520;

// 5^0 .. 5^13, the powers that fit in a limb.
constexpr std::uint32_t kPow5[14] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125, 9765625,
                                     48828125, 244140625, 1220703125};

Extended Signed(bool negative, Extended magnitude) { return negative ? -magnitude : magnitude; }

// m * 2^unit, m below 2^64, in the x87 layout: 64-bit significand with its
// leading bit explicit, then sign and biased exponent. A subnormal (leading
// bit clear) has the smallest unit and exponent field 0.
Extended Assemble(bool negative, std::uint64_t m, std::int64_t unit) {
  if (m == 0) return Signed(negative, 0.0L);
  return x87::FromParts(m, (m >> 63) != 0 ? static_cast<int>(unit + 63 + x87::kBias) : 0, negative);
}

// q * 2^e2 (q > 0) rounded to nearest, ties to even. `sticky`: the exact
// value lies a little above q * 2^e2, by less than 2^e2; q then has more
// bits than are kept, so that the rounding bit lies within q.
Extended Round(bool negative, const BigNumber& q, bool sticky, std::int64_t e2) {
  const std::int64_t lead = q.BitLength() - 1 + e2;
  std::int64_t unit = std::max(lead - 63, kMinUnitExponent);
  const std::int64_t drop = unit - e2;  // bits of q below the unit
  std::uint64_t m;
  bool half = false;
  if (drop <= 0) {
    m = q.Bits64(0) << -drop;  // q fits in 64 bits: exact
  } else {
    m = q.Bits64(drop);
    half = q.Bit(drop - 1);
    sticky = sticky || q.AnyBitBelow(drop - 1);
  }
  if (half && (sticky || (m & 1) != 0)) {
    if (++m == 0) {  // carried out of the 64 bits
      m = std::uint64_t{1} << 63;
      ++unit;
    }
  }
  if (unit > kMaxUnitExponent) return Signed(negative, std::numeric_limits<Extended>::infinity());
  return Assemble(negative, m, unit);
}

}  // namespace

Extended DecimalToExtended(bool negative, std::string_view digits, std::int64_t exponent10) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return Signed(negative, 0.0L);
  const std::size_t last = digits.find_last_not_of('0');
  std::string_view significant = digits.substr(first, last + 1 - first);
  exponent10 += static_cast<std::int64_t>(digits.size() - 1 - last);
  const bool cut = significant.size() > kMaxDigits;
  if (cut) {
    exponent10 += static_cast<std::int64_t>(significant.size() - kMaxDigits) - 1;  // -1: the final 1
    significant = significant.substr(0, kMaxDigits);
  }

  // The value lies in [10^(n-1+exponent10), 10^(n+exponent10)). From
  // 10^4933 on it is past the largest Extended (1.19e4932); below
  // 10^-4952 it is under half of the smallest subnormal (3.6e-4951).
  const auto n = static_cast<std::int64_t>(significant.size()) + (cut ? 1 : 0);
  if (n - 1 + exponent10 >= 4933) return Signed(negative, std::numeric_limits<Extended>::infinity());
  if (n + exponent10 <= -4952) return Signed(negative, 0.0L);

  BigNumber q;
  for (std::size_t i = 0; i < significant.size(); i += 9) {
    const std::string_view chunk = significant.substr(i, 9);
    std::uint32_t value = 0;
    std::uint32_t scale = 1;
    for (char ch : chunk) {
      value = value * 10 + static_cast<std::uint32_t>(ch - '0');
      scale *= 10;
    }
    q.MulAdd(scale, value);
  }
  if (cut) q.MulAdd(10, 1);

  if (exponent10 >= 0) {  // a whole number: q * 5^e * 2^e
    for (std::int64_t left = exponent10; left > 0; left -= 13) q.MulAdd(kPow5[std::min<std::int64_t>(left, 13)], 0);
    return Round(negative, q, false, exponent10);
  }

  // q / 5^k * 2^-k with k = -exponent10, as q * 5^(13p - k) / (5^13)^p
  // with p = ceil(k / 13). First enough bits that the quotient keeps 66
  // (64, a rounding bit, one more; 5^13 < 2^31), then p divisions by 5^13,
  // which floor exactly as one division would; a remainder anywhere means
  // the value lies a little above.
  const std::int64_t passes = (-exponent10 + 12) / 13;
  q.MulAdd(kPow5[passes * 13 + exponent10], 0);
  const std::int64_t shift = std::max<std::int64_t>(0, 66 + 31 * passes - q.BitLength());
  q.ShiftLeft(shift);
  bool sticky = false;
  for (std::int64_t pass = 0; pass < passes; ++pass) sticky = q.DivideBy<1220703125>() != 0 || sticky;
  return Round(negative, q, sticky, exponent10 - shift);
}

Extended BasedToExtended(std::string_view digits, int base) {
  const int bitsPerDigit = base == 16 ? 4 : base == 8 ? 3 : 1;
  BigNumber q;
  bool sticky = false;
  std::int64_t e2 = 0;
  for (char ch : digits) {
    const auto value = static_cast<std::uint32_t>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10);
    // Past 68 bits a digit only adds to the exponent and to the sticky bit.
    if (q.BitLength() < 68) {
      q.MulAdd(static_cast<std::uint32_t>(base), value);
    } else {
      e2 += bitsPerDigit;
      sticky = sticky || value != 0;
    }
  }
  if (q.IsZero()) return 0.0L;
  return Round(false, q, sticky, e2);
}

}  // namespace tavimo
