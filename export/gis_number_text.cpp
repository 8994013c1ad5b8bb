#include "export/gis_number_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "number/decimal_expansion.h"
#include "number/x87_decimal.h"

namespace tavimo::gis {
namespace {

using x87::u128;
using x87::u64;

// A finite, non-zero magnitude rounded to n significant digits, ties to
// even, as printf rounds: digits (n of them, the first not 0) times
// 10^(exponent - n + 1).
struct Rounded {
  u64 digits;
  int exponent;
};

// The double is m * 2^q exactly. Scaled by 10^j, that is m * 5^j * 2^(q+j):
// one product of 64-bit numbers and a shift, the bits shifted out telling
// the rounding exactly. Done for 5^j below 2^64 and a result of n digits,
// which covers about 1e-11 up to 10^n; false elsewhere.
bool RoundFast(double magnitude, int n, Rounded& out) {
  const u64 bits = __builtin_bit_cast(u64, magnitude);
  const int biased = static_cast<int>(bits >> 52);
  if (biased == 0) return false;  // subnormal
  const u64 m = (bits & ((u64{1} << 52) - 1)) | (u64{1} << 52);
  const int q = biased - 1075;
  // At most one below the decimal exponent, never above it.
  int x = x87::FloorLog10Pow2(biased - 1023);
  for (int tries = 0; tries < 2; ++tries, ++x) {
    const int j = n - 1 - x;
    if (j < 0 || j > 27) return false;
    const u128 p = static_cast<u128>(m) * static_cast<u64>(x87::kPowers.five[j]);
    const int t = q + j;
    u128 d;
    bool up = false;
    if (t >= 0) {
      d = p << t;  // a whole number below 10^(n+1): nothing cut off
    } else {
      const int s = -t;
      if (s >= 128) return false;
      d = p >> s;
      const u128 rest = p - (d << s);
      const u128 half = static_cast<u128>(1) << (s - 1);
      up = rest > half || (rest == half && (d & 1) != 0);
    }
    if (d >= x87::kPowers.ten[n]) continue;  // the estimate was one low
    u64 r = static_cast<u64>(d) + (up ? 1 : 0);
    if (r == x87::kPowers.ten[n]) {  // 9.99...95 and up: 10.0...
      r = x87::kPowers.ten[n - 1];
      ++x;
    }
    out = {r, x};
    return true;
  }
  return false;
}

// The same by long integers: exact for every magnitude, many times slower.
Rounded RoundExactly(double magnitude, int n) {
  char digits[18];
  int point = 0;
  DecimalExpansionByBigInteger(static_cast<Extended>(magnitude), n, digits, point);
  Rounded r{0, point - 1};
  for (int i = 0; i < n; ++i) r.digits = r.digits * 10 + static_cast<u64>(digits[i] - '0');
  return r;
}

// The n digits as characters at out[0..n), and room to read 16 past them.
struct DigitText {
  char c[40];
};
void DigitsOf(u64 digits, int n, DigitText& out) {
  char all[24];
  const u64 top = digits / 10000000000000000ULL;  // 17 digits at most
  const u64 mid = digits / 100000000 % 100000000;
  const u64 low = digits % 100000000;
  all[0] = static_cast<char>('0' + top);
  const u64 a = x87::Digits8(static_cast<std::uint32_t>(mid));
  const u64 b = x87::Digits8(static_cast<std::uint32_t>(low));
  std::memcpy(all + 1, &a, 8);
  std::memcpy(all + 9, &b, 8);
  std::memset(out.c, '0', sizeof out.c);
  for (int i = 0; i < n; ++i) out.c[i] = all[17 - n + i];
}

// A magnitude's text in the layout of "%.Ng": which digits go before and
// after the point, or d.ddde+XX.
struct General {
  DigitText digits;
  int n;
  int kept;      // the digits written: trailing zeros go
  int exponent;  // of the first digit
  bool scientific() const { return exponent < -4 || exponent >= n; }
  // The digits after the point: [fractionBegin, kept), none without a point.
  int fractionBegin() const { return scientific() ? 1 : exponent >= 0 ? exponent + 1 : 0; }
  bool hasPoint() const { return kept > fractionBegin(); }
};

General GeneralOf(double magnitude, int n) {
  General g;
  Rounded r;
  if (!RoundFast(magnitude, n, r)) r = RoundExactly(magnitude, n);
  DigitsOf(r.digits, n, g.digits);
  g.n = n;
  g.exponent = r.exponent;
  g.kept = n;
  while (g.kept > 1 && g.digits.c[g.kept - 1] == '0') --g.kept;
  return g;
}

// What the text of a magnitude takes at most, copied whole: the callers
// leave kMaxGeneralText bytes of room, a sign included.
constexpr std::size_t kTextCopy = 32;
static_assert(kTextCopy + 1 <= kMaxGeneralText);

// Lays out a magnitude's text (at most 24 characters) with fixed-size
// copies: the buffer has room beyond the text.
char* LayOut(char* p, const General& g) {
  const char* d = g.digits.c;
  const int x = g.exponent;
  if (g.scientific()) {  // d.ddde+XX
    p[0] = d[0];
    p[1] = '.';
    std::memcpy(p + 2, d + 1, 16);
    p += g.kept > 1 ? g.kept + 1 : 1;
    *p++ = 'e';
    *p++ = x < 0 ? '-' : '+';
    const int e = x < 0 ? -x : x;
    if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
    return p;
  }
  if (x >= 0) {  // ddd.ddd
    std::memcpy(p, d, 17);
    p[x + 1] = '.';
    std::memcpy(p + x + 2, d + x + 1, 16);
    return p + (g.kept > x + 1 ? g.kept + 1 : x + 1);
  }
  std::memcpy(p, "0.000000", 8);  // 0.000ddd
  std::memcpy(p + 1 - x, d, 17);
  return p + 1 - x + g.kept;
}

}  // namespace

char* PutGeneral(char* p, double value, int significant) {
  const int n = significant < 1 ? 1 : significant > 17 ? 17 : significant;
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    *p++ = '0';
    return p;
  }
  if (!std::isfinite(magnitude)) {
    std::memcpy(p, std::isnan(magnitude) ? "nan" : "inf", 3);
    return p + 3;
  }
  char text[kMaxGeneralText + 24];
  const char* end = LayOut(text, GeneralOf(magnitude, n));
  std::memcpy(p, text, kTextCopy);
  return p + (end - text);
}

namespace {

// Whether the digits after the point hold six 0s or six 9s in a row: the
// digits of a value just off a shorter decimal. 16 digits at most.
bool RunsOffAShorterNumber(const General& g) {
  const int begin = g.fractionBegin();
  if (g.kept <= begin) return false;
  // A plain scan: 16 digits at most, and the same on every CPU.
  int zeros = 0, nines = 0;
  for (int k = begin; k < g.kept; ++k) {
    const char c = g.digits.c[k];
    zeros = c == '0' ? zeros + 1 : 0;
    nines = c == '9' ? nines + 1 : 0;
    if (zeros == 6 || nines == 6) return true;
  }
  return false;
}

}  // namespace

namespace {

// Lanes of an eight-digit word equal to `digit`, as the bits 0..7.
unsigned LanesEqual(u64 word, char digit) {
  constexpr u64 kLow7 = 0x7f7f7f7f7f7f7f7fULL, kHigh = 0x8080808080808080ULL;
  const u64 t = word ^ (0x0101010101010101ULL * static_cast<unsigned char>(digit));
  const u64 equal = ~(((t & kLow7) + kLow7) | t) & kHigh;  // lane by lane, no carries between them
  return static_cast<unsigned>(((equal >> 7) * 0x0102040810204080ULL) >> 56);
}

// Whether the marked digits hold six in a row.
bool SixInARow(unsigned marks) {
  marks &= marks >> 1;
  marks &= marks >> 2;
  marks &= marks >> 2;
  return marks != 0;
}

// The common number of a GeoJSON file, 17 digits with the point among
// them, laid out in registers: the first digit, then two words of eight.
// Null when it is another kind, or its digits run into six 0s or 9s.
char* PutSeventeenDigits(char* p, double magnitude) {
  Rounded r;
  if (!RoundFast(magnitude, 17, r) || r.exponent < 0) return nullptr;
  const u64 top = r.digits / 10000000000000000ULL, rest = r.digits % 10000000000000000ULL;
  const u64 a = x87::Digits8(static_cast<std::uint32_t>(rest / 100000000));
  const u64 b = x87::Digits8(static_cast<std::uint32_t>(rest % 100000000));
  const unsigned zeros = LanesEqual(a, '0') << 1 | LanesEqual(b, '0') << 9;  // the first digit is not 0
  const unsigned nines = (top == 9 ? 1U : 0U) | LanesEqual(a, '9') << 1 | LanesEqual(b, '9') << 9;
  const int kept = 32 - __builtin_clz(~zeros & 0x1ffffU);  // without trailing zeros
  const int x = r.exponent;
  const unsigned fraction = kept > x + 1 ? ((1U << kept) - 1) & ~((1U << (x + 1)) - 1) : 0;
  if (SixInARow(zeros & fraction) || SixInARow(nines & fraction)) return nullptr;
  p[0] = static_cast<char>('0' + top);
  const u128 digits = static_cast<u128>(a) | static_cast<u128>(b) << 64;
  if (fraction == 0) {  // a whole number: GDAL adds ".0"
    std::memcpy(p + 1, &digits, 16);
    p[x + 1] = '.';
    p[x + 2] = '0';
    return p + x + 3;
  }
  const u128 below = x == 0 ? 0 : digits & ((static_cast<u128>(1) << (8 * x)) - 1);
  const u128 above = x < 15 ? (digits >> (8 * x)) << (8 * (x + 1)) : 0;  // with 16 before the point, only the last
  const u128 text = below | static_cast<u128>('.') << (8 * x) | above;
  std::memcpy(p + 1, &text, 16);
  p[17] = static_cast<char>(digits >> 120);  // the last digit, pushed out by the point
  return p + kept + 1;
}

}  // namespace

char* PutGeoJsonNumber(char* p, double value) {
  if (std::isnan(value)) {
    std::memcpy(p, "NaN", 3);
    return p + 3;
  }
  if (std::isinf(value)) {
    const char* name = value > 0 ? "Infinity" : "-Infinity";
    const std::size_t size = std::strlen(name);
    std::memcpy(p, name, size);
    return p + size;
  }
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    std::memcpy(p, "0.0", 3);
    return p + 3;
  }
  if (char* end = PutSeventeenDigits(p, magnitude)) return end;
  constexpr int kFigures = 17;
  General g = GeneralOf(magnitude, kFigures);
  if (RunsOffAShorterNumber(g)) {
    bool found = false;
    for (int fewer = 1; fewer <= 3 && !found; ++fewer) {
      const General shorter = GeneralOf(magnitude, kFigures - fewer);
      if (shorter.hasPoint() && !RunsOffAShorterNumber(shorter)) {
        g = shorter;
        found = true;
      }
    }
  }
  char text[kMaxGeneralText + 24];
  char* end = LayOut(text, g);
  if (!g.hasPoint() && !g.scientific()) {
    *end++ = '.';
    *end++ = '0';
  }
  std::memcpy(p, text, kTextCopy);
  return p + (end - text);
}

char* PutFixed(char* p, double value, int decimals, int width) {
  char text[kMaxFixedText];
  const char* end = PutFixedDecimal(text, value, decimals);
  const int size = static_cast<int>(end - text);
  for (int pad = width - size; pad > 0; --pad) *p++ = ' ';
  std::memcpy(p, text, static_cast<std::size_t>(size));
  return p + size;
}

}  // namespace tavimo::gis
