#pragma once
// The number text of drawing coordinates, inline for the writers' hot
// loops: the same bytes as FormatNumber, which takes every value and digit
// count that the fast path below leaves aside.
//
// The fast path covers 7 and 15 significant digits and the magnitudes of
// drawings, about 1.2e-10 up to 5.7e17 (binary exponents E, value in
// [2^E, 2^(E+1))). There the 18-digit expansion is one 64 x 64-bit product
// m * 5^k shifted right, as exact as DecimalExpansion18's, and the rounding
// to N digits, the trailing zeros and the layout are integer work on the
// digits of one number instead of a walk over characters.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "textout/number_text.h"
#include "textout/x87_decimal.h"

namespace tavimo::fast {

inline constexpr int kMinExponent = -33;  // k = 27: 5^k still below 2^64
inline constexpr int kMaxExponent = 58;   // k = 0, and m >> 5 stays below 10^18

// A value's N digits, rounded by the rules, ready to be laid out.
struct Digits {
  x87::u128 text;   // the N digits as characters, the first in the lowest byte; zero bytes after them
  int significant;  // S: the digits up to the last one that is not 0
  int point;        // P: magnitude = 0.d1...dN x 10^P
};

// The digits of m * 2^(e-63), m the significand with its integer bit set,
// kMinExponent <= e <= kMaxExponent.
template <int N>
[[gnu::always_inline]] inline Digits DigitsOf(x87::u64 m, int e) {
  static_assert(N >= 1 && N <= 16);
  using x87::kPowers;
  using x87::u128;
  using x87::u64;
  // The magnitude times 10^k, k chosen so that it lies in [10^17, 10^19):
  // the whole part of m * 5^k / 2^shift, then the bits cut off against one
  // half. At most one step down is needed.
  int k = 17 - x87::FloorLog10Pow2(e);
  int shift = 63 - e - k;  // 5 .. 69
  u128 product = static_cast<u128>(m) * static_cast<u64>(kPowers.five[k]);
  u64 n = static_cast<u64>(product >> shift);
  if (n >= x87::kTen18) {
    --k;
    ++shift;
    product = static_cast<u128>(m) * static_cast<u64>(kPowers.five[k]);
    n = static_cast<u64>(product >> shift);
  }
  u64 up;  // 1 when the bits cut off round n up
  if (shift < 64) {  // every coordinate from about 1e-8 up
    const u64 rest = static_cast<u64>(product) & ((u64{1} << shift) - 1);
    const u64 half = u64{1} << (shift - 1);
    up = static_cast<u64>(rest > half) | (static_cast<u64>(rest == half) & n & 1);
  } else {
    const u128 half = static_cast<u128>(1) << (shift - 1);
    const u128 rest = product & (2 * half - 1);
    up = static_cast<u64>(rest > half) | (static_cast<u64>(rest == half) & n & 1);
  }
  int point = 18 - k;

  // The first N digits of n in q = high * 10^8 + low (high, low < 10^8),
  // the other 18 - N in t. Rounding n to 18 digits adds up to t; then
  // digit N+1 alone decides, t being from 5 * 10^(17-N) up to below
  // 6 * 10^(17-N) when it is a 5: a 5 rounds to even whatever follows it.
  // (Should up make t 10^(18-N), that rounds q up just the same.)
  // Decisions go into sums, not branches: they fall either way at random.
  constexpr u64 kCut = kPowers.ten[18 - N];
  constexpr u64 kEight = 100000000;
  const u64 q = n / kCut;
  u64 high = 0;
  if constexpr (N > 8) high = n / (kCut * kEight);
  u64 low = q - high * kEight;
  const u64 t = n - q * kCut + up;
  low += static_cast<u64>(t >= kCut / 10 * 6) | (static_cast<u64>(t >= kCut / 10 * 5) & low & 1);
  if (low == (N > 8 ? kEight : kPowers.ten[N])) {  // a carry out of low
    if constexpr (N > 8) {
      low = 0;
      if (++high == kPowers.ten[N - 8]) {  // 10^N: one digit more
        high = kPowers.ten[N - 9];
        ++point;
      }
    } else {
      low = kPowers.ten[N - 1];
      ++point;
    }
  }

  // The digits stay in registers: the text is cut out of them with shifts
  // and fixed 16-byte stores, where reading them back from memory would
  // wait for the stores that just put them there.
  const u64 highText = x87::Digits8(static_cast<std::uint32_t>(high));
  const u64 lowText = x87::Digits8(static_cast<std::uint32_t>(low));
  // Trailing zero digits: the top bytes of the words that are '0'.
  const u64 lowMarks = lowText ^ 0x3030303030303030ULL;
  const int trailing = lowMarks != 0 ? __builtin_clzll(lowMarks) / 8
                                     : 8 + __builtin_clzll(highText ^ 0x3030303030303030ULL) / 8;
  return {(static_cast<u128>(lowText) << 64 | highText) >> (8 * (16 - N)), N - trailing, point};
}

// Sign position and body (and the trailing blank of the item form) laid out
// from the digits; needs 40 bytes of room. Returns the end.
template <int N>
[[gnu::always_inline]] inline char* LayOut(char* p, const Digits& d, bool negative, bool item) {
  constexpr char kZeros[17] = "0000000000000000";
  const int point = d.point, significant = d.significant;
  *p++ = negative ? '-' : ' ';
  if (point > 0 && point < significant) {
    std::memcpy(p, &d.text, 16);
    p[point] = '.';
    const x87::u128 fraction = d.text >> (8 * point);
    std::memcpy(p + point + 1, &fraction, 16);
    p += significant + 1;
  } else if (significant <= point && point <= N) {
    std::memcpy(p, &d.text, 16);  // the digits after the first S are the zeros to write
    p += point;
  } else if (point <= 0 && significant - point <= N) {
    *p = '.';
    std::memcpy(p + 1, kZeros, 16);
    std::memcpy(p + 1 - point, &d.text, 16);
    p += 1 - point + significant;
  } else {
    *p = static_cast<char>(d.text);
    if (significant > 1) {
      p[1] = '.';
      const x87::u128 rest = d.text >> 8;
      std::memcpy(p + 2, &rest, 16);
      p += significant + 1;
    } else {
      p += 1;
    }
    // The exponent has one or two digits in the fast range.
    const int exponent = point - 1;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    if (magnitude >= 10) *p++ = static_cast<char>('0' + magnitude / 10);
    *p++ = static_cast<char>('0' + magnitude % 10);
  }
  if (item) *p++ = ' ';
  return p;
}

// The digits of a whole number from 1 to below 10^8, without leading
// zeros; writes 8 bytes whatever it keeps. Returns the end.
[[gnu::always_inline]] inline char* PutDigits(char* p, std::uint32_t v) {
  x87::u64 text = x87::Digits8(v);
  const int leading = __builtin_ctzll(text ^ 0x3030303030303030ULL) / 8;  // the zeros in front
  text >>= 8 * leading;
  std::memcpy(p, &text, 8);
  return p + 8 - leading;
}

// A whole number from 1 to below 2^26, less than 10^N for the N it is
// formatted with (cell numbers, group codes, colours): its text is its
// digits.
[[gnu::always_inline]] inline char* LayOutWhole(char* p, x87::u64 v, bool negative, bool item) {
  *p = negative ? '-' : ' ';
  p = PutDigits(p + 1, static_cast<std::uint32_t>(v));
  if (item) *p++ = ' ';
  return p;
}

// Whether the fast path takes a value, and whether it is a whole number
// for LayOutWhole with N digits.
[[gnu::always_inline]] inline bool Takes(const x87::Parts& parts) {
  const int e = parts.exponent();
  return parts.normal() && e >= kMinExponent && e <= kMaxExponent;
}
template <int N>
[[gnu::always_inline]] inline bool IsSmallWhole(const x87::Parts& parts) {
  constexpr int kBits = N >= 8 ? 26 : 23;  // below 10^8 for Digits8, below 10^N
  const int e = parts.exponent();
  return e >= 0 && e < kBits && (parts.significand << (e + 1)) == 0;
}

// The text of `value` with N digits into `out` (kMaxNumberText bytes of
// room), as FormatNumber writes it; 0 (and nothing written) when the value
// is not one for the fast path.
template <int N>
[[gnu::always_inline]] inline std::size_t Format(char* out, const long double& value, bool item) {
  const x87::Parts parts = x87::PartsOf(value);
  if (!Takes(parts)) {
    if (!parts.zero()) return 0;
    std::memcpy(out, " 0 ", 3);  // 0 and -0; the last blank is the item's
    return item ? 3 : 2;
  }
  if (IsSmallWhole<N>(parts))
    return LayOutWhole(out, parts.significand >> (63 - parts.exponent()), parts.negative, item) - out;
  return LayOut<N>(out, DigitsOf<N>(parts.significand, parts.exponent()), parts.negative, item) - out;
}

// NumberString(value) into `p`: the string form with 15 digits. Returns
// the end.
[[gnu::always_inline]] inline char* PutNumber(char* p, const long double& value) {
  if (const std::size_t size = Format<15>(p, value, false)) return p + size;
  return p + FormatNumber(p, value, 15, false);
}

// NumberString(x), the text `between`, NumberString(y): the two numbers'
// digits are worked out side by side before either is laid out, so that
// the processor overlaps their chains of multiplications. Returns the end.
template <std::size_t S>
[[gnu::always_inline]] inline char* PutPair(char* p, const long double& x, const char (&between)[S], const long double& y) {
  const x87::Parts a = x87::PartsOf(x), b = x87::PartsOf(y);
  // DigitsOf gives whole numbers their digits too: no need to tell them apart.
  if (Takes(a) && Takes(b)) {
    const Digits dx = DigitsOf<15>(a.significand, a.exponent());
    const Digits dy = DigitsOf<15>(b.significand, b.exponent());
    p = LayOut<15>(p, dx, a.negative, false);
    std::memcpy(p, between, S - 1);
    return LayOut<15>(p + S - 1, dy, b.negative, false);
  }
  p = PutNumber(p, x);
  std::memcpy(p, between, S - 1);
  return PutNumber(p + S - 1, y);
}

}  // namespace tavimo::fast
