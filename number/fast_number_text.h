#pragma once
// The number text of drawing coordinates, inline for the writers' hot
// loops: the same bytes as FormatNumber, which takes every value and digit
// count that the fast path below leaves aside.
//
// The fast path covers 7 and 15 significant digits and the magnitudes of
// drawings (for 15 digits about 2.4e-7 up to 5.6e14, for 7 about 4.9e-4 up
// to 8.4e6). There the N digits are the high half of one 64 x 64-bit
// product and the rest of the value its low half, both exact, so that the
// rounding to N digits, the trailing zeros and the layout are integer work
// on the digits of one number instead of a walk over characters.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include "number/extended.h"

#include "number/number_text.h"
#include "number/x87_decimal.h"

namespace tavimo::fast {

// For a binary exponent E (value in [2^E, 2^(E+1))) the value times 10^k
// lies in [10^17, 10^18) for the k = 17 - floor(E log10 2) of the binade's
// lower part and for k - 1 above the power of ten that the binade may hold.
// With the significand m the value is m * 2^(E-63), so the value times
// 10^(k-D), D = 18 - N, is m * scale / 2^64 for scale = 10^(k-D) * 2^(E+1):
// where that is a whole number, the high half of m * scale is the N digits
// and the low half what is cut off. No shifts by a variable count, no
// second try.
constexpr int LowerTen(int e) { return 17 - x87::FloorLog10Pow2(e); }  // k
// Whether [2^E, 2^(E+1)] holds a power of ten (at E = -1 only its end, 1:
// a second scale that goes unused).
constexpr bool HoldsTen(int e) { return x87::FloorLog10Pow2(e + 1) > x87::FloorLog10Pow2(e); }
constexpr bool ScaleIsWhole(int n, int e) {
  const int tens = LowerTen(e) - (18 - n), extra = HoldsTen(e) ? 1 : 0;  // 10^tens * 2^(E+1), and /10 above
  return tens - extra >= 0 && tens + e + 1 - extra >= 0 && tens <= x87::kMaxPow5 && e < 63;
}
constexpr int RangeEnd(int n, int step) {
  int e = 0;
  while (ScaleIsWhole(n, e + step)) e += step;
  return e;
}
template <int N>
inline constexpr int kMinExponent = RangeEnd(N, -1);
template <int N>
inline constexpr int kMaxExponent = RangeEnd(N, 1);

struct Scale {
  x87::u64 below;  // the largest m under the power of ten (all ones: none in the binade)
  x87::u64 lower;  // 10^(k-D) * 2^(E+1), for m <= below
  x87::u64 upper;  // 10^(k-D-1) * 2^(E+1), for m > below
  int point;       // 18 - k: magnitude = 0.d1...dN x 10^point for m <= below
};
template <int N>
struct Scales {
  Scale of[kMaxExponent<N> - kMinExponent<N> + 1];
};
template <int N>
constexpr Scales<N> MakeScales() {
  using x87::u128;
  using x87::u64;
  Scales<N> t{};
  for (int e = kMinExponent<N>; e <= kMaxExponent<N>; ++e) {
    const int k = LowerTen(e);
    const int tens = k - (18 - N);
    const u128 five = x87::kPowers.five[tens];
    Scale& s = t.of[e - kMinExponent<N>];
    s.lower = static_cast<u64>(five << (tens + e + 1));
    s.upper = HoldsTen(e) ? static_cast<u64>((five / 5) << (tens + e)) : 0;
    s.point = 18 - k;
    // The power of ten 10^(18-k) as a significand: ceil(10^(18-k) * 2^(63-E)).
    const int d = 18 - k;
    u128 ten = 1;
    for (int i = 0; i < (d < 0 ? -d : d); ++i) ten *= 10;
    const u128 first = d >= 0 ? ten << (63 - e) : ((static_cast<u128>(1) << (63 - e)) + ten - 1) / ten;
    s.below = first > ~u64{0} ? ~u64{0} : static_cast<u64>(first - 1);
  }
  return t;
}
template <int N>
inline constexpr Scales<N> kScales = MakeScales<N>();

// Every significand of every binade gets N digits from its scale.
template <int N>
constexpr bool ScalesHold() {
  using x87::u128;
  using x87::u64;
  const u64 least = x87::kPowers.ten[N - 1], most = x87::kPowers.ten[N];
  auto digits = [](u64 m, u64 scale) { return static_cast<u64>((static_cast<u128>(m) * scale) >> 64); };
  for (const Scale& s : kScales<N>.of) {
    const u64 first = u64{1} << 63, last = ~u64{0};
    const u64 lowerEnd = s.below == last ? last : s.below;
    if (digits(first, s.lower) < least || digits(lowerEnd, s.lower) >= most) return false;
    if (s.below != last && (digits(s.below + 1, s.upper) < least || digits(last, s.upper) >= most)) return false;
  }
  return true;
}
static_assert(ScalesHold<15>() && ScalesHold<7>());

// The rule rounds the 18-digit expansion to N digits, where digit N+1
// alone decides and a 5 rounds to even whatever follows it. In the cut-off
// rest r (over 2^64) that is: r * 10^D rounded half to even reaches
// 5 * 10^(D-1) (a 5 or more) or 6 * 10^(D-1) (a 6 or more), that is r at
// least ceil((2 * d * 10^(D-1) - 1) * 2^63 / 10^D) for d = 5 or 6.
constexpr x87::u64 RestFor(int n, int digit) {
  using x87::u128;
  const u128 ten = x87::kPowers.ten[18 - n];
  const u128 scaled = (static_cast<u128>(2 * digit) * (ten / 10) - 1) << 63;
  return static_cast<x87::u64>((scaled + ten - 1) / ten);
}

// A value's N digits, rounded by the rules, ready to be laid out.
struct Digits {
  x87::u128 text;   // the N digits as characters, the first in the lowest byte; zero bytes after them
  int significant;  // S: the digits up to the last one that is not 0
  int point;        // P: magnitude = 0.d1...dN x 10^P
};

// The digits of m * 2^(e-63), m the significand with its integer bit set,
// kMinExponent<N> <= e <= kMaxExponent<N>.
template <int N>
[[gnu::always_inline]] inline Digits DigitsOf(x87::u64 m, int e) {
  static_assert(N >= 2 && N <= 16);
  using x87::kPowers;
  using x87::u128;
  using x87::u64;
  const Scale& scale = kScales<N>.of[e - kMinExponent<N>];
  const bool upper = m > scale.below;
  const u128 product = static_cast<u128>(m) * (upper ? scale.upper : scale.lower);
  const u64 q = static_cast<u64>(product >> 64);
  const u64 rest = static_cast<u64>(product);
  int point = scale.point + static_cast<int>(upper);

  // The N digits of q as high * 10^8 + low (high, low < 10^8), rounded.
  // Decisions go into sums, not branches: they fall either way at random.
  constexpr u64 kEight = 100000000;
  constexpr u64 kFive = RestFor(N, 5), kSix = RestFor(N, 6);
  u64 high = 0;
  if constexpr (N > 8) high = q / kEight;
  u64 low = q - high * kEight;
  low += static_cast<u64>(rest >= ((low & 1) != 0 ? kFive : kSix));  // a 5 takes an odd q to even
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
  // Trailing zero digits: the top bytes of the words that are '0'. Nine
  // numbers in ten end in another digit, and a branch that guesses so lets
  // the next text's place be known before this one's digits are.
  int significant = N;
  if ((lowText >> 56) == '0') [[unlikely]] {
    const u64 lowMarks = lowText ^ 0x3030303030303030ULL;
    significant -= lowMarks != 0 ? __builtin_clzll(lowMarks) / 8
                                 : 8 + __builtin_clzll(highText ^ 0x3030303030303030ULL) / 8;
  }
  return {(static_cast<u128>(lowText) << 64 | highText) >> (8 * (16 - N)), significant, point};
}

// Sign position and body (and the trailing blank of the item form) laid out
// from the digits; needs 40 bytes of room. Returns the end.
template <int N>
[[gnu::always_inline]] inline char* LayOut(char* p, const Digits& d, char sign, bool item) {
  constexpr char kZeros[17] = "0000000000000000";
  const int point = d.point, significant = d.significant;
  *p++ = sign;
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
// zeros; may write 8 bytes whatever it keeps. Returns the end.
[[gnu::always_inline]] inline char* PutDigits(char* p, std::uint32_t v) {
  if (v < 10000) [[likely]] {  // the cell numbers of most blocks: one look-up, no division
    std::uint32_t four = x87::kFourDigits.of[v];
    const int leading = __builtin_ctz(four ^ 0x30303030U) / 8;
    four >>= 8 * leading;
    std::memcpy(p, &four, 4);
    return p + 4 - leading;
  }
  x87::u64 text = x87::Digits8(v);
  const int leading = __builtin_ctzll(text ^ 0x3030303030303030ULL) / 8;  // the zeros in front
  text >>= 8 * leading;
  std::memcpy(p, &text, 8);
  return p + 8 - leading;
}

// A whole number from 1 to below 2^26, less than 10^N for the N it is
// formatted with (cell numbers, group codes, colours): its text is its
// digits.
[[gnu::always_inline]] inline char* LayOutWhole(char* p, x87::u64 v, char sign, bool item) {
  *p = sign;
  p = PutDigits(p + 1, static_cast<std::uint32_t>(v));
  if (item) *p++ = ' ';
  return p;
}

// Whether the fast path takes a value, and whether it is a whole number
// for LayOutWhole with N digits.
template <int N>
[[gnu::always_inline]] inline bool Takes(const x87::Parts& parts) {
  const int e = parts.exponent();
  return parts.normal() && e >= kMinExponent<N> && e <= kMaxExponent<N>;
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
[[gnu::always_inline]] inline std::size_t Format(char* out, const Extended& value, bool item) {
  const x87::Parts parts = x87::PartsOf(value);
  if (!Takes<N>(parts)) {
    if (!parts.zero()) return 0;
    std::memcpy(out, " 0 ", 3);  // 0 and -0; the last blank is the item's
    return item ? 3 : 2;
  }
  if (IsSmallWhole<N>(parts))
    return LayOutWhole(out, parts.significand >> (63 - parts.exponent()), parts.sign(), item) - out;
  return LayOut<N>(out, DigitsOf<N>(parts.significand, parts.exponent()), parts.sign(), item) - out;
}

// NumberString(value) into `p`: the string form with 15 digits. Returns
// the end.
[[gnu::always_inline]] inline char* PutNumber(char* p, const Extended& value) {
  if (const std::size_t size = Format<15>(p, value, false)) return p + size;
  return p + FormatNumber(p, value, 15, false);
}

// NumberString(x), the text `between`, NumberString(y): the two numbers'
// digits are worked out side by side before either is laid out, so that
// the processor overlaps their chains of multiplications. Returns the end.
template <std::size_t S>
[[gnu::always_inline]] inline char* PutPair(char* p, const Extended& x, const char (&between)[S], const Extended& y) {
  const x87::Parts a = x87::PartsOf(x), b = x87::PartsOf(y);
  // DigitsOf gives whole numbers their digits too: no need to tell them apart.
  if (Takes<15>(a) && Takes<15>(b)) {
    const Digits dx = DigitsOf<15>(a.significand, a.exponent());
    const Digits dy = DigitsOf<15>(b.significand, b.exponent());
    p = LayOut<15>(p, dx, a.sign(), false);
    std::memcpy(p, between, S - 1);
    return LayOut<15>(p + S - 1, dy, b.sign(), false);
  }
  p = PutNumber(p, x);
  std::memcpy(p, between, S - 1);
  return PutNumber(p + S - 1, y);
}

}  // namespace tavimo::fast
