#include "model/exact_trig.h"

#include <bit>
#include <cmath>
#include <limits>

#include "model/exact_trig_constants.h"

namespace tavimo {
namespace exact_trig_detail {

Wide MulWideHalves(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t kLow = 0xffffffffu;
  const std::uint64_t ll = (a & kLow) * (b & kLow);
  const std::uint64_t lh = (a & kLow) * (b >> 32);
  const std::uint64_t hl = (a >> 32) * (b & kLow);
  const std::uint64_t hh = (a >> 32) * (b >> 32);
  const std::uint64_t mid = (ll >> 32) + (lh & kLow) + (hl & kLow);  // below 3 * 2^32
  return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & kLow)};
}

namespace {
inline Wide Mul64(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ using U128 = unsigned __int128;
  const U128 p = static_cast<U128>(a) * b;
  return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
  return MulWideHalves(a, b);
#endif
}
}  // namespace

Wide MulWide(std::uint64_t a, std::uint64_t b) { return Mul64(a, b); }

}  // namespace exact_trig_detail

namespace {

using u64 = std::uint64_t;
using exact_trig_detail::Mul64;
using exact_trig_detail::Wide;
namespace constants = exact_trig_constants;

constexpr int kMaxFraction = constants::kFractionLimbs;
// Fraction limbs of each attempt: 128 bits decide nearly every result; the
// finer attempts are for results very near a halfway point, and for t next
// to a multiple of pi/2, where r keeps few of the 128 bits.
constexpr int kLevels[] = {2, 4, 8, 16};
static_assert(kLevels[3] == kMaxFraction);
// The reduction of the largest finite t (below 2^16384, so m * 2^e with
// e <= 16320) reads 2/pi up to bit e + 64 * kMaxFraction + 64.
static_assert(64 * constants::kTwoOverPiLimbs >= 16320 + 64 * kMaxFraction + 64);

// ---------------------------------------------------------------------------
// Fixed-point numbers: an attempt works with n fraction limbs, so a Fixed
// is limb[n] * 2^0 + limb[n - 1] * 2^-64 + ... + limb[0] * 2^-64n; "a unit"
// below is 2^-64n. Every value is non-negative: signs are kept apart.

struct Fixed {
  u64 limb[kMaxFraction + 1] = {};
};

Fixed Integer(u64 value, int n) {
  Fixed x;
  x.limb[n] = value;
  return x;
}

// A generated constant cut to n fraction limbs: less than a unit below it.
Fixed FromConstant(const constants::Fixed16& c, int n) {
  Fixed x;
  x.limb[n] = c.integer;
  for (int i = 0; i < n; ++i) x.limb[n - 1 - i] = c.fraction[i];
  return x;
}

bool IsZero(const Fixed& x, int n) {
  for (int i = 0; i <= n; ++i)
    if (x.limb[i] != 0) return false;
  return true;
}

int Compare(const Fixed& a, const Fixed& b, int n) {
  for (int i = n; i >= 0; --i)
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  return 0;
}

void AddTo(Fixed& x, const Fixed& y, int n) {
  u64 carry = 0;
  for (int i = 0; i <= n; ++i) {
    const u64 s = x.limb[i] + y.limb[i];
    const u64 c = s < y.limb[i];
    x.limb[i] = s + carry;
    carry = c + (x.limb[i] < carry);
  }
}

// x -= y; the callers have x >= y.
void SubFrom(Fixed& x, const Fixed& y, int n) {
  u64 borrow = 0;
  for (int i = 0; i <= n; ++i) {
    const u64 d = x.limb[i] - y.limb[i];
    const u64 b = x.limb[i] < y.limb[i];
    x.limb[i] = d - borrow;
    borrow = b + (d < borrow);
  }
}

void AddUnits(Fixed& x, u64 units, int n) {
  for (int i = 0; i <= n && units != 0; ++i) {
    x.limb[i] += units;
    units = x.limb[i] < units;
  }
}

// x -= units; false (x unchanged in meaning) when x < units.
bool SubUnits(Fixed& x, u64 units, int n) {
  Fixed u;
  u.limb[0] = units;
  if (Compare(x, u, n) < 0) return false;
  SubFrom(x, u, n);
  return true;
}

// x * y, truncated to a unit. The product's integer part must fit a limb,
// as it does for every use here (values below 64 times values below 2).
Fixed Mul(const Fixed& x, const Fixed& y, int n) {
  u64 product[2 * (kMaxFraction + 1)] = {};
  for (int i = 0; i <= n; ++i) {
    if (x.limb[i] == 0) continue;
    u64 carry = 0;
    for (int j = 0; j <= n; ++j) {
      const Wide p = Mul64(x.limb[i], y.limb[j]);
      u64 s = product[i + j] + p.lo;
      u64 c = s < p.lo;
      s += carry;
      c += s < carry;
      product[i + j] = s;
      carry = p.hi + c;  // p.hi <= 2^64 - 2, so no overflow
    }
    product[i + n + 1] = carry;
  }
  Fixed out;
  for (int i = 0; i <= n; ++i) out.limb[i] = product[i + n];
  return out;
}

// x * k exactly, for a small k that keeps the integer part in its limb.
Fixed MulSmall(const Fixed& x, u64 k, int n) {
  Fixed out;
  u64 carry = 0;
  for (int i = 0; i <= n; ++i) {
    const Wide p = Mul64(x.limb[i], k);
    out.limb[i] = p.lo + carry;
    carry = p.hi + (out.limb[i] < carry);
  }
  return out;
}

// x / d, truncated; 1 <= d < 2^32, so 32-bit steps need no wider division.
void DivSmall(Fixed& x, u64 d, int n) {
  u64 rest = 0;
  for (int i = n; i >= 0; --i) {
    const u64 high = (rest << 32) | (x.limb[i] >> 32);
    const u64 qHigh = high / d;
    rest = high % d;
    const u64 low = (rest << 32) | (x.limb[i] & 0xffffffffu);
    const u64 qLow = low / d;
    rest = low % d;
    x.limb[i] = (qHigh << 32) | qLow;
  }
}

// ---------------------------------------------------------------------------
// Bits of little-endian limb arrays, bit 0 the lowest; bits outside the
// array read as zero, so positions may be negative or far too high.

u64 LimbAt(const u64* limbs, int count, long i) { return i >= 0 && i < count ? limbs[i] : 0; }

u64 Bits64(const u64* limbs, int count, long pos) {
  const long i = pos >= 0 ? pos / 64 : -((63 - pos) / 64);  // floor(pos / 64)
  const int shift = static_cast<int>(pos - 64 * i);
  const u64 low = LimbAt(limbs, count, i);
  if (shift == 0) return low;
  return (low >> shift) | (LimbAt(limbs, count, i + 1) << (64 - shift));
}

bool BitAt(const u64* limbs, int count, long pos) { return (Bits64(limbs, count, pos) & 1) != 0; }

// Whether any bit below pos is set.
bool AnyBelow(const u64* limbs, int count, long pos) {
  if (pos <= 0) return false;
  const long whole = pos / 64;
  for (long i = 0; i < whole && i < count; ++i)
    if (limbs[i] != 0) return true;
  const int part = static_cast<int>(pos % 64);
  return part != 0 && whole < count && (limbs[whole] & ((u64{1} << part) - 1)) != 0;
}

// The highest set bit's position, -1 for zero.
long TopBit(const u64* limbs, int count) {
  for (int i = count - 1; i >= 0; --i)
    if (limbs[i] != 0) return 64L * i + 63 - std::countl_zero(limbs[i]);
  return -1;
}

// x's bits shifted right (truncated), by any count.
void ShiftRight(Fixed& x, long bits, int n) {
  Fixed out;
  for (int i = 0; i <= n; ++i) out.limb[i] = Bits64(x.limb, n + 1, bits + 64L * i);
  x = out;
}

// ---------------------------------------------------------------------------
// Rounding to the 80-bit format: m * 2^e with 2^63 <= m < 2^64.

struct Rounded {
  u64 m = 0;
  long e = 0;
  bool operator==(const Rounded&) const = default;
};

// x * 2^-64n to 64 significant bits, to nearest, ties to even; x > 0.
Rounded RoundTo64(const Fixed& x, int n) {
  const int count = n + 1;
  const long top = TopBit(x.limb, count);
  Rounded r{Bits64(x.limb, count, top - 63), top - 63 - 64L * n};
  if (BitAt(x.limb, count, top - 64) && ((r.m & 1) != 0 || AnyBelow(x.limb, count, top - 64))) {
    if (++r.m == 0) {
      r.m = u64{1} << 63;
      ++r.e;
    }
  }
  return r;
}

// Ziv's test: the value lies within `error` units of x; if every point of
// that interval rounds alike (rounding is monotonic, so both ends suffice),
// that is the correctly rounded value.
bool RoundWithin(const Fixed& x, u64 error, int n, Rounded& out) {
  Fixed low = x, high = x;
  if (!SubUnits(low, error, n) || IsZero(low, n)) return false;
  AddUnits(high, error, n);
  const Rounded a = RoundTo64(low, n);
  if (!(a == RoundTo64(high, n))) return false;
  out = a;
  return true;
}

// Exact: m has 64 bits and every result here is a normal Extended.
Extended Pack(const Rounded& r, bool negative) {
  const Extended v = ScaleByPowerOfTwo(static_cast<Extended>(r.m), static_cast<int>(r.e));
  return negative ? -v : v;
}

// A positive finite x as m * 2^e, m with its top bit set. Exact.
void Unpack(Extended x, u64& m, int& e) {
  int exponent = 0;
  const Extended fraction = SplitExponent(x, exponent);  // in [1/2, 1)
  m = static_cast<u64>(ScaleByPowerOfTwo(fraction, 64));
  e = exponent - 64;
}

// ---------------------------------------------------------------------------
// cos and sin.

// |t| = (k + f) * pi/2 with k an integer and |f| <= 1/2: r = |f| * pi/2,
// its sign, k mod 4, and r's error bound in units.
struct Reduced {
  Fixed r;
  bool negative = false;
  int quadrant = 0;
  u64 error = 0;
};

// |t| = m * 2^e >= 2^-32.
Reduced Reduce(u64 m, int e, int n) {
  Reduced out;
  const long fractionBits = 64L * n;
  if (e + 64 <= -1) {
    // |t| < 1/2: r = |t|, exactly, as 2^-32 <= |t| puts its lowest bit at
    // 2^-95 or above, within the 128 bits of the coarsest attempt.
    const long pos = e + fractionBits;
    const long i = pos / 64;
    const int shift = static_cast<int>(pos % 64);
    out.r.limb[i] = m << shift;
    if (shift != 0) out.r.limb[i + 1] = m >> (64 - shift);
    return out;
  }
  // y = |t| * 2/pi mod 4 (Payne and Hanek): the bits b_j of 2/pi (b_j
  // weighing 2^-j) with j <= e - 2 add multiples of 4 to m * 2^e * 2/pi, so
  // the product starts at the limb of bit e - 1; bits beyond e + F + 64 (F
  // fraction bits) add less than a unit, as m < 2^64.
  const long first = e >= 2 ? (e - 2) / 64 : 0;
  const long last = (e + fractionBits + 63) / 64;
  const int width = static_cast<int>(last - first + 1);
  u64 window[kMaxFraction + 4];
  for (int k = 0; k < width; ++k) window[k] = constants::kTwoOverPi[last - k];
  u64 product[kMaxFraction + 5];
  u64 carry = 0;
  for (int k = 0; k < width; ++k) {
    const Wide p = Mul64(m, window[k]);
    product[k] = p.lo + carry;
    carry = p.hi + (product[k] < carry);
  }
  product[width] = carry;
  // The product's point lies `point` bits up; y keeps F bits below it and
  // two above. Two truncations: y is less than 2 units below the true one.
  const long point = 64 * (last + 1) - e;
  Fixed y;
  for (int k = 0; k < n; ++k) y.limb[k] = Bits64(product, width + 1, point - fractionBits + 64L * k);
  int quadrant = static_cast<int>(Bits64(product, width + 1, point) & 3);
  if ((y.limb[n - 1] >> 63) != 0) {
    // f = fraction - 1 < 0: |f| = 1 - fraction, the fraction's complement.
    u64 add = 1;
    for (int k = 0; k < n; ++k) {
      y.limb[k] = ~y.limb[k] + add;
      add = add != 0 && y.limb[k] == 0;
    }
    quadrant = (quadrant + 1) & 3;
    out.negative = true;
  }
  out.quadrant = quadrant;
  // r = |f| * pi/2: |f| is off by under 2 units, pi/2 by under one, and the
  // product's truncation adds one: 2 * pi/2 + 1/2 + 1 < 5.
  out.r = Mul(y, FromConstant(constants::kHalfPi, n), n);
  out.error = 5;
  return out;
}

// sin r and cos r for 0 <= r <= pi/4 (plus a few units) by their Taylor
// series, each term from the last: term * r^2 / ((2k)(2k + 1)). Every
// computed term is within 2 units of the true one for the computed r (its
// error shrinks by the factor r^2/6 < 1/9 and each step adds at most 2/6 +
// 1), and the series stops at the first term that is 0, when the rest is
// below 3 units. Every partial sum is positive.
struct SinCos {
  Fixed sin;
  Fixed cos;
  u64 error = 0;
};

SinCos SinCosSeries(const Fixed& r, int n) {
  const Fixed r2 = Mul(r, r, n);
  SinCos out{r, Integer(1, n), 0};
  u64 most = 0;
  for (int series = 0; series < 2; ++series) {
    Fixed& sum = series == 0 ? out.sin : out.cos;
    Fixed term = sum;
    u64 terms = 0;
    for (u64 k = 1;; ++k) {
      term = Mul(term, r2, n);
      DivSmall(term, series == 0 ? (2 * k) * (2 * k + 1) : (2 * k - 1) * (2 * k), n);
      if (IsZero(term, n)) break;
      if ((k & 1) != 0) {
        SubFrom(sum, term, n);
      } else {
        AddTo(sum, term, n);
      }
      ++terms;
    }
    if (terms > most) most = terms;
  }
  out.error = 2 * most + 3;
  return out;
}

// cos |t| and sin |t| as magnitudes and signs, within `error` units.
struct CosSinValue {
  Fixed cos;
  Fixed sin;
  bool cosNegative = false;
  bool sinNegative = false;
  u64 error = 0;
};

CosSinValue CosSinAt(u64 m, int e, int n) {
  const Reduced reduced = Reduce(m, e, n);
  const SinCos sc = SinCosSeries(reduced.r, n);
  CosSinValue v;
  v.error = reduced.error + sc.error;  // |cos'| and |sin'| <= 1
  const bool rNegative = reduced.negative;  // sin r = -sin |r| then
  switch (reduced.quadrant) {
    case 0:  // cos r, sin r
      v.cos = sc.cos;
      v.sin = sc.sin;
      v.sinNegative = rNegative;
      break;
    case 1:  // -sin r, cos r
      v.cos = sc.sin;
      v.cosNegative = !rNegative;
      v.sin = sc.cos;
      break;
    case 2:  // -cos r, -sin r
      v.cos = sc.cos;
      v.cosNegative = true;
      v.sin = sc.sin;
      v.sinNegative = !rNegative;
      break;
    default:  // sin r, -cos r
      v.cos = sc.sin;
      v.cosNegative = rNegative;
      v.sin = sc.cos;
      v.sinNegative = true;
      break;
  }
  return v;
}

// Below 2^-32, that is |t| in [2^k, 2^(k+1)) with k <= -33 (subnormals
// included): 0 < |t| - |sin t| < |t|^3/6 < 2^(3k+1) <= 2^(k-65), less than
// half the spacing of Extendeds just below |t| (2^(k-65) at a power of
// two, more elsewhere), and 0 < 1 - cos t < t^2/2 < 2^(2k+1) <= 2^-65, half
// the spacing below 1. So sin t rounds to t and cos t to 1, never a tie.
constexpr Extended kTiny = 0x1p-32L;

// The run of bits after the rounding bit that continue a halfway pattern,
// as far as the error bound leaves the bits sure.
int HalfwayRun(const Fixed& x, u64 error, int n) {
  const int count = n + 1;
  const long roundPos = TopBit(x.limb, count) - 64;
  const long sure = std::bit_width(error) + 1;
  const bool roundBit = BitAt(x.limb, count, roundPos);
  int run = 0;
  for (long pos = roundPos - 1; pos > sure && BitAt(x.limb, count, pos) != roundBit; --pos) ++run;
  return run;
}

// ---------------------------------------------------------------------------
// Square root: a 128-bit integer's, digit by digit.

struct U128 {
  u64 hi = 0;
  u64 lo = 0;
};

bool Less(const U128& a, const U128& b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
U128 Plus(const U128& a, const U128& b) {
  const u64 lo = a.lo + b.lo;
  return {a.hi + b.hi + (lo < a.lo), lo};
}
U128 Minus(const U128& a, const U128& b) { return {a.hi - b.hi - (a.lo < b.lo), a.lo - b.lo}; }
U128 ShiftedRight(const U128& a, int s) { return {a.hi >> s, (a.lo >> s) | (a.hi << (64 - s))}; }  // 0 < s < 64

// ---------------------------------------------------------------------------
// Direction: atan in degrees.

// atan(x)/x = 1 - s/3 + s^2/5 - ... for s = x^2 <= 1/200: the powers of s
// stay within 1.01 units, each term within 1.34, and the series stops at the
// first term that is 0, when the rest is below 1.4 units: within 2 * terms
// + 3 units of the true sum for this s.
Fixed AtanOverX(const Fixed& s, int n, u64& terms) {
  Fixed sum = Integer(1, n);
  Fixed power = s;
  terms = 0;
  for (u64 k = 1;; ++k) {
    Fixed term = power;
    DivSmall(term, 2 * k + 1, n);
    if (IsZero(term, n)) break;
    if ((k & 1) != 0) {
      SubFrom(sum, term, n);
    } else {
      AddTo(sum, term, n);
    }
    ++terms;
    power = Mul(power, s, n);
  }
  return sum;
}

// floor(num * 2^shift / den) in units, for num / den < 2 and shift <= 64n:
// long division, a bit at a time.
Fixed Quotient(u64 num, u64 den, long shift) {
  Fixed q;
  u64 rest = num;
  if (rest >= den) {
    rest -= den;
    q.limb[shift / 64] |= u64{1} << (shift % 64);
  }
  for (long bit = shift - 1; bit >= 0; --bit) {
    const bool over = (rest >> 63) != 0;  // 2 * rest >= 2^64 > den
    rest <<= 1;
    if (over || rest >= den) {
      rest -= den;
      q.limb[bit / 64] |= u64{1} << (bit % 64);
    }
  }
  return q;
}

// floor(num / den) in units, for num < den < 2^(64n + 5).
Fixed Divide(const Fixed& num, const Fixed& den, int n) {
  Fixed q;
  Fixed rest = num;
  for (long bit = 64L * n - 1; bit >= 0; --bit) {
    u64 carry = 0;
    for (int i = 0; i <= n; ++i) {
      const u64 next = rest.limb[i] >> 63;
      rest.limb[i] = (rest.limb[i] << 1) | carry;
      carry = next;
    }
    if (Compare(rest, den, n) >= 0) {
      SubFrom(rest, den, n);
      q.limb[bit / 64] |= u64{1} << (bit % 64);
    }
  }
  return q;
}

// atan(q) in degrees, q = mn / md * 2^-z < 1, as value * 2^-(64n + scale)
// within error * 2^-(64n + scale).
struct Degrees {
  Fixed value;
  u64 error = 0;
  long scale = 0;
};

Degrees AtanDegrees(u64 mn, u64 md, long z, int n) {
  const long fractionBits = 64L * n;
  const Fixed perRadian = FromConstant(constants::kDegreesPerRadian, n);  // below 58
  Degrees out;
  // q to the nearest eighth j/8: q is within 1/16 of it.
  int j = 0;
  Fixed q;
  if (z <= 4) {
    q = Quotient(mn, md, fractionBits - z);  // under a unit below q
    const u64 sixteenths = Bits64(q.limb, n + 1, fractionBits - 4) & 0x1f;
    j = static_cast<int>((sixteenths + 1) >> 1);
  }
  u64 terms = 0;
  if (j == 0) {
    // q < 1/16 (so z >= 3): atan q = 2^-z * q' * S(q^2) with q' = q * 2^z in
    // (1/2, 2) and S(s) = atan(x)/x, kept at scale z so that a tiny q keeps
    // its digits. q' is under a unit low (and atan(q'2^-z)2^z moves by no
    // more); q^2 by 2 units, which moves S by one; a = q' * S by 2 * eS + 1
    // more, and 180/pi * a by 58 * that + 3.
    const Fixed scaled = Quotient(mn, md, fractionBits);
    Fixed s = Mul(scaled, scaled, n);
    ShiftRight(s, 2 * z, n);
    const Fixed sum = AtanOverX(s, n, terms);
    const u64 sumError = 2 * terms + 4;
    out.value = Mul(perRadian, Mul(scaled, sum, n), n);
    out.error = 58 * (2 * sumError + 2) + 3;
    out.scale = z;
    return out;
  }
  // atan q = atan(j/8) + atan x with x = (8q - j) / (8 + jq), |x| <= 1/15.
  // x moves by at most 2 units per unit of q, and the division truncates:
  // 3 units. x^2 is within a unit, which moves S by under one; atan |x| =
  // |x| * S is within eS + 1 of atan |x| for the computed x; the table's
  // value and 180/pi are under a unit low, and 180/pi * atan|x| truncates.
  Fixed eightQ = MulSmall(q, 8, n);
  const Fixed jWhole = Integer(static_cast<u64>(j), n);
  const bool xNegative = Compare(eightQ, jWhole, n) < 0;
  Fixed num = xNegative ? jWhole : eightQ;
  SubFrom(num, xNegative ? eightQ : jWhole, n);
  Fixed den = MulSmall(q, static_cast<u64>(j), n);
  AddTo(den, Integer(8, n), n);
  const Fixed x = Divide(num, den, n);
  const Fixed sum = AtanOverX(Mul(x, x, n), n, terms);
  const u64 sumError = 2 * terms + 4;
  const Fixed atanX = Mul(perRadian, Mul(x, sum, n), n);
  out.value = FromConstant(constants::kAtanEighthsDegrees[j - 1], n);
  if (xNegative) {
    SubFrom(out.value, atanX, n);
  } else {
    AddTo(out.value, atanX, n);
  }
  out.error = 58 * (sumError + 4) + 3;
  return out;
}

// The float nearest x * 2^-(64n + scale), x > 0: 24 significant bits, or
// the multiple of 2^-149 below 2^-126; ties to even. Exact conversions.
float RoundToFloat(const Fixed& x, int n, long scale) {
  const int count = n + 1;
  const long one = 64L * n + scale;  // the bit that weighs 1
  const long top = TopBit(x.limb, count);
  long keep = top - 23;
  if (keep < one - 149) keep = one - 149;
  u64 kept = Bits64(x.limb, count, keep);  // no bits above top: at most 24 bits
  if (BitAt(x.limb, count, keep - 1) && ((kept & 1) != 0 || AnyBelow(x.limb, count, keep - 1))) ++kept;
  return std::ldexp(static_cast<float>(kept), static_cast<int>(keep - one));
}

bool FloatWithin(const Fixed& x, u64 error, int n, long scale, float& out) {
  Fixed low = x, high = x;
  if (!SubUnits(low, error, n) || IsZero(low, n)) return false;
  AddUnits(high, error, n);
  const float a = RoundToFloat(low, n, scale);
  if (a != RoundToFloat(high, n, scale)) return false;
  out = a;
  return true;
}

}  // namespace

CosSin CorrectCosSin(Extended t) {
  if (IsNan(t) || IsInf(t)) {
    const Extended nan = std::numeric_limits<Extended>::quiet_NaN();
    return {nan, nan};
  }
  const bool negative = t < 0;
  const Extended magnitude = negative ? -t : t;
  if (magnitude < kTiny) return {1.0L, t};
  u64 m = 0;
  int e = 0;
  Unpack(magnitude, m, e);
  Rounded c, s;
  CosSinValue v;
  for (const int n : kLevels) {
    v = CosSinAt(m, e, n);
    if (RoundWithin(v.cos, v.error, n, c) && RoundWithin(v.sin, v.error, n, s)) break;
    if (n == kMaxFraction) {  // never seen: the 1024-bit value's rounding
      c = RoundTo64(v.cos, n);
      s = RoundTo64(v.sin, n);
    }
  }
  return {Pack(c, v.cosNegative), Pack(s, v.sinNegative != negative)};
}

CosSinHalfwayBits CosSinHalfwayRun(Extended t) {
  if (IsNan(t) || IsInf(t)) return {0, 0};
  const Extended magnitude = t < 0 ? -t : t;
  if (magnitude < kTiny) return {0, 0};
  u64 m = 0;
  int e = 0;
  Unpack(magnitude, m, e);
  constexpr int n = 4;
  const CosSinValue v = CosSinAt(m, e, n);
  return {HalfwayRun(v.cos, v.error, n), HalfwayRun(v.sin, v.error, n)};
}

Extended CorrectSqrt(Extended x) {
  if (IsNan(x) || x < 0) return std::numeric_limits<Extended>::quiet_NaN();
  if (x == 0 || IsInf(x)) return x;
  u64 m = 0;
  int e = 0;
  Unpack(x, m, e);
  // x = N * 2^(e - k) with e - k even and N = m * 2^k in [2^126, 2^128), so
  // that sqrt N has 64 bits.
  const int k = (e & 1) != 0 ? 63 : 64;
  U128 rest = k == 64 ? U128{m, 0} : U128{m >> 1, m << 63};
  U128 root;
  U128 bit{u64{1} << 62, 0};  // 2^126
  for (int i = 0; i < 64; ++i) {
    const U128 trial = Plus(root, bit);
    root = ShiftedRight(root, 1);
    if (!Less(rest, trial)) {
      rest = Minus(rest, trial);
      root = Plus(root, bit);
    }
    bit = ShiftedRight(bit, 2);
  }
  // root = floor(sqrt N), rest = N - root^2. sqrt N > root + 1/2 exactly
  // when N >= root^2 + root + 1, that is rest > root; a tie cannot happen.
  Rounded r{root.lo, (e - k) / 2};
  if (rest.hi != 0 || rest.lo > root.lo) {
    if (++r.m == 0) {
      r.m = u64{1} << 63;
      ++r.e;
    }
  }
  return Pack(r, false);
}

float DirectionDegrees(Extended dx, Extended dy) {
  if (IsNan(dx) || IsNan(dy) || IsInf(dx) || IsInf(dy))
    return std::numeric_limits<float>::quiet_NaN();
  const bool left = dx < 0;
  const bool down = dy < 0;  // a zero of either sign is neither
  const Extended a = left ? -dx : dx;
  const Extended b = down ? -dy : dy;
  if (b == 0) return left ? 180.0f : 0.0f;  // (0, 0) included
  if (a == 0) return down ? 270.0f : 90.0f;
  // The direction is base + alpha or base - alpha, alpha = atan(q) in
  // degrees with q = min(a, b) / max(a, b) <= 1.
  const bool steep = b > a;
  int base = 0;
  bool plus = true;
  if (!left && !down) {
    base = steep ? 90 : 0;
    plus = !steep;
  } else if (left && !down) {
    base = steep ? 90 : 180;
    plus = steep;
  } else if (left && down) {
    base = steep ? 270 : 180;
    plus = !steep;
  } else {
    base = steep ? 270 : 360;
    plus = steep;
  }
  if (a == b) return static_cast<float>(plus ? base + 45 : base - 45);  // exact
  u64 mn = 0, md = 0;
  int en = 0, ed = 0;
  Unpack(steep ? a : b, mn, en);
  Unpack(steep ? b : a, md, ed);
  const long z = static_cast<long>(ed) - en;  // q = mn/md * 2^-z, z >= 0
  float result = 0;
  for (const int n : kLevels) {
    Degrees alpha = AtanDegrees(mn, md, z, n);
    if (base == 0) {
      // First octant: alpha itself, at its scale (a tiny direction keeps
      // its digits down to the float subnormals).
      if (FloatWithin(alpha.value, alpha.error, n, alpha.scale, result)) return result;
      if (n == kMaxFraction) return RoundToFloat(alpha.value, n, alpha.scale);
      continue;
    }
    ShiftRight(alpha.value, alpha.scale, n);
    const u64 error = (alpha.scale < 64 ? alpha.error >> alpha.scale : 0) + 2;
    Fixed theta = Integer(static_cast<u64>(base), n);
    if (plus) {
      AddTo(theta, alpha.value, n);
    } else {
      SubFrom(theta, alpha.value, n);
    }
    if (FloatWithin(theta, error, n, 0, result)) return result;
    if (n == kMaxFraction) return RoundToFloat(theta, n, 0);
  }
  return result;
}

}  // namespace tavimo
