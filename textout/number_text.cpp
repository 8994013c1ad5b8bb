#include "textout/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tavimo {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the output digits need the 80-bit x87 long double");

// DecimalExpansion18 is in textout/decimal_expansion.cpp.

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

char* WriteDecimal(char* out, unsigned value) {
  char reversed[12];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *out++ = reversed[--n];
  return out;
}

// The rules step by step on the characters of the 18-digit expansion. Every
// value and digit count the fast path below leaves aside comes here: zero's
// neighbours of every size, huge values, infinities, NaNs, odd encodings.
// Kept out of line: inlined, it would burden the fast path's every call.
[[gnu::noinline, gnu::cold]] std::size_t FormatGeneral(char* out, long double value, int digits, bool item) {
  if (digits < 1) digits = 1;
  if (digits > 18) digits = 18;
  char* p = out;
  *p++ = std::signbit(value) && value != 0 ? '-' : ' ';

  if (value == 0) {
    *p++ = '0';
  } else if (std::isnan(value)) {
    p[-1] = ' ';
    std::memcpy(p, "NaN", 3);
    p += 3;
  } else if (std::isinf(value)) {
    std::memcpy(p, "Inf", 3);
    p += 3;
  } else {
    char d[19];
    int point = 0;
    DecimalExpansion18(value, d, point);

    // Digit N+1 alone decides; a 5 rounds to even whatever follows it.
    const int n = digits;
    if (n < 18) {
      const char next = d[n];
      const bool up = next > '5' || (next == '5' && ((d[n - 1] - '0') & 1) != 0);
      if (up) {
        int k = n - 1;
        while (k >= 0 && d[k] == '9') d[k--] = '0';
        if (k >= 0) {
          ++d[k];
        } else {
          d[0] = '1';
          for (int i = 1; i < n; ++i) d[i] = '0';
          ++point;
        }
      }
    }
    int significant = n;
    while (significant > 1 && d[significant - 1] == '0') --significant;

    if (significant <= point && point <= n) {
      std::memcpy(p, d, significant);
      p += significant;
      for (int i = significant; i < point; ++i) *p++ = '0';
    } else if (point > 0 && point < significant) {
      std::memcpy(p, d, point);
      p += point;
      *p++ = '.';
      std::memcpy(p, d + point, significant - point);
      p += significant - point;
    } else if (point <= 0 && significant - point <= n) {
      *p++ = '.';
      for (int i = 0; i < -point; ++i) *p++ = '0';
      std::memcpy(p, d, significant);
      p += significant;
    } else {
      // Exponent form: d1[.d2...dS]E[+-]exp
      *p++ = d[0];
      if (significant > 1) {
        *p++ = '.';
        std::memcpy(p, d + 1, significant - 1);
        p += significant - 1;
      }
      const int exponent = point - 1;
      *p++ = 'E';
      *p++ = exponent < 0 ? '-' : '+';
      p = WriteDecimal(p, static_cast<unsigned>(exponent < 0 ? -exponent : exponent));
    }
  }
  if (item) *p++ = ' ';
  return static_cast<std::size_t>(p - out);
}

// The fast path: the same digits for 7 and 15 significant digits and the
// magnitudes of drawings, about 1.2e-10 up to 5.7e17 (binary exponents E,
// value in [2^E, 2^(E+1))). There the 18-digit expansion is one 64 x 64-bit
// product m * 5^k shifted right, as exact as DecimalExpansion18's, and the
// rounding to N digits, the trailing zeros and the layout are integer work
// on the digits of one number instead of a walk over characters.
constexpr int kFastMinExponent = -33;  // k = 27: 5^k still below 2^64
constexpr int kFastMaxExponent = 58;   // k = 0, and m >> 5 stays below 10^18

constexpr u64 kTen17 = 100000000000000000ULL;
constexpr u64 kTen18 = 1000000000000000000ULL;

struct Powers {
  u64 ten[19];
  u64 five[28];
};
constexpr Powers MakePowers() {
  Powers t{};
  t.ten[0] = t.five[0] = 1;
  for (int i = 1; i < 19; ++i) t.ten[i] = t.ten[i - 1] * 10;
  for (int i = 1; i < 28; ++i) t.five[i] = t.five[i - 1] * 5;
  return t;
}
constexpr Powers kPowers = MakePowers();

// floor(E * log10(2)), exact for |E| <= 1650.
inline int FloorLog10Pow2(int e) { return (e * 78913) >> 18; }

// The four digits of every number below 10^4 as the bytes of a 32-bit
// word, the first digit lowest: two lookups make eight digits, cheaper than
// computing them (the table, 40 kB, stays in the cache during an export).
struct FourDigits {
  std::uint32_t of[10000];
};
constexpr FourDigits MakeFourDigits() {
  FourDigits t{};
  for (std::uint32_t i = 0; i < 10000; ++i) {
    t.of[i] =
        (0x30 + i / 1000) | (0x30 + i / 100 % 10) << 8 | (0x30 + i / 10 % 10) << 16 | (0x30 + i % 10) << 24;
  }
  return t;
}
constexpr FourDigits kFourDigits = MakeFourDigits();

// Eight digits of n < 10^8 in the bytes of one 64-bit word, the first digit
// lowest, leading zeros included.
[[gnu::always_inline]] inline u64 Digits8(std::uint32_t n) {
  return kFourDigits.of[n / 10000] | static_cast<u64>(kFourDigits.of[n % 10000]) << 32;
}

constexpr char kZeros[17] = "0000000000000000";

template <int N>
[[gnu::always_inline]] inline std::size_t FormatFast(char* out, u64 m, int e, bool negative, bool item) {
  static_assert(N >= 1 && N <= 16);
  // The magnitude m * 2^(e-63) times 10^k, k chosen so that it lies in
  // [10^17, 10^19): the whole part of m * 5^k / 2^shift, then the bits cut
  // off against one half. At most one step down is needed.
  int k = 17 - FloorLog10Pow2(e);
  int shift = 63 - e - k;  // 5 .. 69
  u128 product = static_cast<u128>(m) * kPowers.five[k];
  u64 n = static_cast<u64>(product >> shift);
  if (n >= kTen18) {
    --k;
    ++shift;
    product = static_cast<u128>(m) * kPowers.five[k];
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

  // The N digits as characters in the bytes of one 128-bit word, the first
  // digit lowest, zero bytes after them. The text is cut out of it with
  // shifts and fixed 16-byte stores; reading the digits back from memory
  // would wait for the stores that just put them there.
  const u64 highText = Digits8(static_cast<std::uint32_t>(high));
  const u64 lowText = Digits8(static_cast<std::uint32_t>(low));
  const u128 d = (static_cast<u128>(lowText) << 64 | highText) >> (8 * (16 - N));
  // Trailing zero digits: the top bytes of the words that are '0'.
  const u64 lowMarks = lowText ^ 0x3030303030303030ULL;
  const int trailing = lowMarks != 0 ? __builtin_clzll(lowMarks) / 8
                                     : 8 + __builtin_clzll(highText ^ 0x3030303030303030ULL) / 8;
  const int significant = N - trailing;

  char* p = out;
  *p++ = negative ? '-' : ' ';
  if (point > 0 && point < significant) {
    std::memcpy(p, &d, 16);
    p[point] = '.';
    const u128 fraction = d >> (8 * point);
    std::memcpy(p + point + 1, &fraction, 16);
    p += significant + 1;
  } else if (significant <= point && point <= N) {
    std::memcpy(p, &d, 16);  // the digits after the first S are the zeros to write
    p += point;
  } else if (point <= 0 && significant - point <= N) {
    *p = '.';
    std::memcpy(p + 1, kZeros, 16);
    std::memcpy(p + 1 - point, &d, 16);
    p += 1 - point + significant;
  } else {
    *p = static_cast<char>(d);
    if (significant > 1) {
      p[1] = '.';
      const u128 rest = d >> 8;
      std::memcpy(p + 2, &rest, 16);
      p += significant + 1;
    } else {
      p += 1;
    }
    const int exponent = point - 1;
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    p = WriteDecimal(p, static_cast<unsigned>(exponent < 0 ? -exponent : exponent));
  }
  if (item) *p++ = ' ';
  return static_cast<std::size_t>(p - out);
}

// A whole number from 1 to below 2^26, less than 10^N for the N it is
// formatted with (cell numbers, group codes, colours): its text is its
// digits.
[[gnu::always_inline]] inline std::size_t FormatWhole(char* out, u64 v, bool negative, bool item) {
  u64 text = Digits8(static_cast<std::uint32_t>(v));
  const int leading = __builtin_ctzll(text ^ 0x3030303030303030ULL) / 8;  // the zeros in front
  text >>= 8 * leading;
  out[0] = negative ? '-' : ' ';
  std::memcpy(out + 1, &text, 8);
  char* p = out + 1 + 8 - leading;
  if (item) *p++ = ' ';
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t FormatNumber(char* out, long double value, int digits, bool item) {
  // Sign, zero and magnitude from the bits of the x87 format (64-bit
  // significand with an explicit integer bit, then sign and 15-bit biased
  // exponent): cheaper than x87 compares, and odd encodings go the general
  // way, where the x87 decides about them as before.
  unsigned char bytes[10];
  std::memcpy(bytes, &value, sizeof bytes);
  u64 m;
  std::uint16_t signAndExponent;
  std::memcpy(&m, bytes, 8);
  std::memcpy(&signAndExponent, bytes + 8, 2);
  const int e = (signAndExponent & 0x7fff) - 16383;
  const bool negative = (signAndExponent & 0x8000) != 0;

  if ((m >> 63) != 0 && e >= kFastMinExponent && e <= kFastMaxExponent) {
    if (digits == 15) {
      if (e >= 0 && e < 26 && (m << (e + 1)) == 0) return FormatWhole(out, m >> (63 - e), negative, item);
      return FormatFast<15>(out, m, e, negative, item);
    }
    if (digits == 7) {
      if (e >= 0 && e < 23 && (m << (e + 1)) == 0) return FormatWhole(out, m >> (63 - e), negative, item);
      return FormatFast<7>(out, m, e, negative, item);
    }
  } else if (m == 0 && (signAndExponent & 0x7fff) == 0) {  // 0 and -0
    out[0] = ' ';
    out[1] = '0';
    out[2] = ' ';
    return item ? 3 : 2;
  }
  return FormatGeneral(out, value, digits, item);
}

std::string NumberString(long double value) {
  char text[kMaxNumberText];
  return std::string(text, FormatNumber(text, value, 15, false));
}

std::string FormatNumberItem(long double value, int digits) {
  char text[kMaxNumberText];
  return std::string(text, FormatNumber(text, value, digits, true));
}

std::string TrimLeadingBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

}  // namespace tavimo
