#include "export/gis_number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <initializer_list>

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
  const u64 bits = std::bit_cast<u64>(magnitude);
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

// The same from std::to_chars's exact scientific text.
Rounded RoundByToChars(double magnitude, int n) {
  char text[64];
  const char* end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, n - 1).ptr;
  Rounded r{0, 0};
  const char* c = text;
  for (; c < end && *c != 'e'; ++c)
    if (*c != '.') r.digits = r.digits * 10 + static_cast<u64>(*c - '0');
  std::from_chars(c + 1 + (c[1] == '+' ? 1 : 0), end, r.exponent);
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
  if (!RoundFast(magnitude, n, r)) r = RoundByToChars(magnitude, n);
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
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.digits.c + begin));
  const unsigned within = (1U << (g.kept - begin)) - 1;
  for (const char digit : {'0', '9'}) {
    unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8(digit)))) & within;
    m &= m >> 1;  // runs of 2
    m &= m >> 2;  // of 4
    m &= m >> 2;  // of 6
    if (m != 0) return true;
  }
  return false;
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
  const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  const int size = static_cast<int>(end - text);
  for (int pad = width - size; pad > 0; --pad) *p++ = ' ';
  std::memcpy(p, text, static_cast<std::size_t>(size));
  return p + size;
}

}  // namespace tavimo::gis
