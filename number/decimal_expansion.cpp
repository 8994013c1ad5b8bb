// The magnitude of an 80-bit value rounded to 18 significant digits, ties to
// even, computed exactly with integers.
//
// The value is m * 2^e (m the 64-bit significand). For the power of ten k that
// brings it between 10^17 and 10^18, value * 10^k = m * 5^k * 2^(e + k): a
// product of integers and a shift. The integer part gives the 18 digits, and
// the bits shifted out, compared with one half, decide the rounding exactly.
// That needs at most 192 bits from about 1e-38 to 1e45, far beyond any
// drawing coordinate; outside that range long integers do the work.
#include "number/decimal_expansion.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "number/big_number.h"
#include "number/x87_decimal.h"

namespace tavimo {
namespace {

using x87::kMaxPow5;
using x87::kPowers;
using x87::kTen17;
using x87::kTen18;
using x87::u128;
using x87::u64;

// Dividing by 10^j takes 5^j below 2^64 only: j <= 27.
constexpr int kMaxPow5Divisor = 27;

// Binary exponents E (value in [2^E, 2^(E+1))) that the integer path takes:
// below 10^18 it multiplies by 5^k with k <= 55 (a product of 192 bits at
// most), above it divides a dividend below 2^128 by 5^j with j <= 27.
constexpr int kMinExponent = -126;
constexpr int kMaxExponent = 149;

// floor(m * 2^e * 10^k), below 2^64 for the k the caller picks, and how the
// cut-off fraction compares with one half: -1 below, 0 equal, +1 above.
struct Scaled {
  u64 whole;
  int vsHalf;
};

int Compare(u128 a, u128 b) { return a < b ? -1 : (a > b ? 1 : 0); }

// k >= 0: m * 5^k shifted right by s = -(e + k), which is at least 4 here.
[[gnu::always_inline]] inline Scaled ScaleUp(u64 m, int e, int k) {
  const int s = -(e + k);
  const u128 p = kPowers.five[k];
  if ((p >> 64) == 0 && s < 128) {  // the usual case: one 64 x 64 product
    const u128 n = static_cast<u128>(m) * static_cast<u64>(p);
    const u128 half = static_cast<u128>(1) << (s - 1);
    return {static_cast<u64>(n >> s), Compare(n & (2 * half - 1), half)};
  }
  // The 192-bit product w[2]:w[1]:w[0].
  const u128 lo = static_cast<u128>(m) * static_cast<u64>(p);
  const u128 hi = static_cast<u128>(m) * static_cast<u64>(p >> 64);
  const u128 mid = (lo >> 64) + static_cast<u64>(hi);
  const u64 w[3] = {static_cast<u64>(lo), static_cast<u64>(mid),
                    static_cast<u64>(hi >> 64) + static_cast<u64>(mid >> 64)};
  // Bits s .. s+63 are the whole part; bit s-1 is the half, the bits below
  // it say whether the fraction is more than that.
  const int word = s / 64, bit = s % 64;
  u64 whole = w[word] >> bit;
  if (bit != 0 && word < 2) whole |= w[word + 1] << (64 - bit);
  const int t = s - 1;
  const bool halfBit = (w[t / 64] >> (t % 64)) & 1;
  bool below = (w[t / 64] & ((u64{1} << (t % 64)) - 1)) != 0;
  for (int i = 0; i < t / 64; ++i) below = below || w[i] != 0;
  return {whole, halfBit ? (below ? 1 : 0) : -1};
}

// k < 0: m * 2^e / 10^j with j = -k, as m * 2^(e-j) / 5^j; the quotient and
// twice the remainder against the divisor.
Scaled ScaleDown(u64 m, int e, int j) {
  u128 n = m;
  u128 d = kPowers.five[j];
  if (e - j >= 0) n <<= e - j;
  else d <<= j - e;
  const u128 q = n / d;
  return {static_cast<u64>(q), Compare(2 * (n - q * d), d)};
}

[[gnu::always_inline]] inline Scaled Scale(u64 m, int e, int k) {
  return k >= 0 ? ScaleUp(m, e, k) : ScaleDown(m, e, -k);
}

// Whether Scale can take k for this e without overflow: the table holds 5^k,
// and the dividend m * 2^(e+k) stays below 2^128.
bool Fits(int e, int k) { return k >= 0 ? k <= kMaxPow5 : (-k <= kMaxPow5Divisor && e + k <= 64); }

void WriteDigits18(u64 n, char digits[18]) {
  const auto first = static_cast<std::uint32_t>(n / 10000000000000000ULL);  // below 100
  const u64 rest = n % 10000000000000000ULL;
  digits[0] = static_cast<char>('0' + first / 10);
  digits[1] = static_cast<char>('0' + first % 10);
  const u64 middle = x87::Digits8(static_cast<std::uint32_t>(rest / 100000000));
  const u64 last = x87::Digits8(static_cast<std::uint32_t>(rest % 100000000));
  std::memcpy(digits + 2, &middle, 8);
  std::memcpy(digits + 10, &last, 8);
}

}  // namespace

void DecimalExpansionByBigInteger(Extended value, int significant, char* digits, int& pointPosition) {
  // value = m * 2^e exactly (a subnormal's unit is that of exponent 1).
  // As in the integer path: for the k that puts value * 10^k in
  // [10^(n-1), 10^n) (n significant digits), that is X / Y with X = m * 5^k * 2^max(e+k, 0) and
  // Y = 2^max(-e-k, 0) for k >= 0, or X = m * 2^max(e+k, 0) and
  // Y = 5^-k * 2^max(-e-k, 0) below; the quotient by long division and the
  // remainder against Y / 2 round it exactly.
  const x87::Parts parts = x87::PartsOf(value);
  const int biased = parts.signAndExponent & 0x7fff;
  const int e = (biased == 0 ? 1 : biased) - x87::kBias - 63;
  const int binaryExponent = e + 63 - std::countl_zero(parts.significand);  // value in [2^E, 2^(E+1))
  const u64 low = kPowers.ten[significant - 1], high = kPowers.ten[significant];
  int k = significant - 1 - x87::FloorLog10Pow2(binaryExponent);  // may be one off this far out: corrected below
  for (;;) {
    BigNumber x(parts.significand), y(1);
    BigNumber& fives = k >= 0 ? x : y;
    for (int left = k >= 0 ? k : -k; left > 0; left -= 13) fives.MulAdd(static_cast<std::uint32_t>(kPowers.five[std::min(left, 13)]));
    if (e + k >= 0) x.ShiftLeft(e + k);
    else y.ShiftLeft(-e - k);
    BigNumber rest = x;
    const u64 q = rest.DivideSmallQuotient(y);
    if (q < low) {
      ++k;
      continue;
    }
    if (q >= high) {
      --k;
      continue;
    }
    rest.ShiftLeft(1);
    const int vsHalf = BigNumber::Compare(rest, y);
    u64 n = q;
    if (vsHalf > 0 || (vsHalf == 0 && (n & 1) != 0)) ++n;
    if (n == high) {
      n = low;
      --k;
    }
    for (int i = significant; i-- > 0; n /= 10) digits[i] = static_cast<char>('0' + n % 10);
    pointPosition = significant - k;
    return;
  }
}

void DecimalExpansion18ByBigInteger(Extended value, char digits[18], int& pointPosition) {
  DecimalExpansionByBigInteger(value, 18, digits, pointPosition);
}

void DecimalExpansion18(Extended value, char digits[18], int& pointPosition) {
  const x87::Parts parts = x87::PartsOf(value);
  const u64 m = parts.significand;
  const int binaryExponent = parts.exponent();  // value in [2^E, 2^(E+1))

  // Subnormals (integer bit clear) and the extreme exponents take the general path.
  if (!parts.normal() || binaryExponent < kMinExponent || binaryExponent > kMaxExponent) {
    DecimalExpansion18ByBigInteger(value, digits, pointPosition);
    return;
  }
  const int e = binaryExponent - 63;  // value = m * 2^e

  // log10(value) lies in [f, f + 1 + log10(2)) with f = floor(E log10 2), so
  // value * 10^(17 - f) lies in [10^17, 10^19): one step down at most. Every
  // E in the range fits the first k; the step down may leave it at the top.
  int k = 17 - x87::FloorLog10Pow2(binaryExponent);
  Scaled scaled = Scale(m, e, k);
  if (scaled.whole >= kTen18) {
    --k;
    if (!Fits(e, k)) {
      DecimalExpansion18ByBigInteger(value, digits, pointPosition);
      return;
    }
    scaled = Scale(m, e, k);
  }

  u64 n = scaled.whole;
  if (scaled.vsHalf > 0 || (scaled.vsHalf == 0 && (n & 1) != 0)) ++n;
  if (n == kTen18) {  // 999...9.5 and above round up to the next power of ten
    n = kTen17;
    --k;
  }
  WriteDigits18(n, digits);
  pointPosition = 18 - k;
}

namespace {

// A whole number's digits, at least `minimum` of them (zeros in front).
char* PutWhole(char* p, u64 n, int minimum) {
  char text[24];
  char* end = text + sizeof text;
  char* c = end;
  do {
    *--c = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (end - c < minimum) *--c = '0';
  std::memcpy(p, c, static_cast<std::size_t>(end - c));
  return p + (end - c);
}

// m * 2^shift, beyond 64 bits: long integers, nine digits at a time.
char* PutWholeBig(char* p, u64 m, int shift) {
  BigNumber n(m);
  n.ShiftLeft(shift);
  std::vector<std::uint32_t> groups;  // least significant first
  while (!n.IsZero()) groups.push_back(n.DivideBy<1000000000>());
  p = PutWhole(p, groups.back(), 1);
  for (std::size_t i = groups.size() - 1; i-- > 0;) p = PutWhole(p, groups[i], 9);
  return p;
}

}  // namespace

char* PutFixedDecimal(char* p, double value, int decimals) {
  const u64 bits = __builtin_bit_cast(u64, value);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const u64 fraction = bits & ((u64{1} << 52) - 1);
  if (biased == 0x7ff) {
    if (fraction == 0 && (bits >> 63) != 0) *p++ = '-';
    std::memcpy(p, fraction != 0 ? "nan" : "inf", 3);
    return p + 3;
  }
  if (bits >> 63) *p++ = '-';
  // value = m * 2^q exactly.
  const u64 m = biased == 0 ? fraction : fraction | (u64{1} << 52);
  const int q = (biased == 0 ? 1 : biased) - 1075;
  u64 whole = 0;
  u128 part = 0;  // the decimals as a whole number below 10^decimals
  if (q >= 0) {
    if (std::bit_width(m) + q > 64) {
      p = PutWholeBig(p, m, q);
      if (decimals > 0) {
        *p++ = '.';
        std::memset(p, '0', static_cast<std::size_t>(decimals));
        p += decimals;
      }
      return p;
    }
    whole = m << q;
  } else {
    // The whole part by a shift; the decimals: rest * 10^decimals / 2^s,
    // below 2^53 * 10^20 < 2^120 before the shift, rounded to even.
    const int s = -q;
    const u64 rest = s < 64 ? m & ((u64{1} << s) - 1) : m;
    whole = s < 64 ? m >> s : 0;
    u128 ten = 1;
    for (int i = 0; i < decimals; ++i) ten *= 10;
    if (s < 128) {
      const u128 scaled = u128{rest} * ten;
      part = scaled >> s;
      const u128 left = scaled & ((u128{1} << s) - 1), half = u128{1} << (s - 1);
      // The last digit kept is the whole part's when there are no decimals.
      const bool odd = ((decimals == 0 ? u128{whole} : part) & 1) != 0;
      if (left > half || (left == half && odd)) ++part;
      if (part == ten) {
        part = 0;
        ++whole;
      }
    }  // else below 2^120 / 2^128: nothing
  }
  p = PutWhole(p, whole, 1);
  if (decimals == 0) return p;
  *p++ = '.';
  if (decimals <= 19) return PutWhole(p, static_cast<u64>(part), decimals);
  const u64 ten19 = 10000000000000000000ULL;
  p = PutWhole(p, static_cast<u64>(part / ten19), decimals - 19);
  return PutWhole(p, static_cast<u64>(part % ten19), 19);
}

}  // namespace tavimo
