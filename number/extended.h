#pragma once
// The 80-bit extended type every digit is computed in. On x86 (Linux and
// MinGW) it is the x87 `long double`; elsewhere `long double` is another
// format (113 bits on arm64, a software quad in WebAssembly) that would
// write other digits, so there it is SoftExtended: the x87 format's values
// and roundings (nearest, ties to even, at 64 bits) done with integers.
// The build option TAVIMO_SOFT_EXTENDED takes the software type on x86 too,
// so that the two can be compared there.

#include <bit>
#include <cfloat>
#include <compare>
#include <concepts>
#include <cstdint>
#include <limits>

namespace tavimo {

// A value of the x87 80-bit format: sign, 15-bit biased exponent and a
// 64-bit significand with an explicit integer bit. Every operation rounds
// as the x87 unit does with 64-bit precision: once, to nearest, ties to
// even, gradual underflow, overflow to infinity.
class SoftExtended {
 public:
  using u64 = std::uint64_t;
  using u128 = unsigned __int128;
  static constexpr int kBias = 16383;

  constexpr SoftExtended() = default;  // +0
  template <std::integral I>
    requires(!std::same_as<I, bool>)
  constexpr SoftExtended(I value) {  // NOLINT(google-explicit-constructor): exact, as for long double
    const bool negative = value < 0;
    const u64 magnitude = negative ? u64{0} - static_cast<u64>(value) : static_cast<u64>(value);
    *this = Normalized(negative, magnitude, 0);
  }
  constexpr SoftExtended(double value) { *this = FromDouble(value); }  // NOLINT: exact
  constexpr SoftExtended(float value) : SoftExtended(static_cast<double>(value)) {}  // NOLINT: exact
  // Only constants: a `long double` literal whose value has 64 significant
  // bits at most, written exactly (hexadecimal where it has a fraction).
  // Anything else fails to compile, where a platform's long double would
  // have rounded it differently.
  consteval SoftExtended(long double value) { *this = FromExactLongDouble(value); }  // NOLINT

  static constexpr SoftExtended FromBits(u64 significand, std::uint16_t signAndExponent) {
    SoftExtended v;
    v.significand_ = significand;
    v.signAndExponent_ = signAndExponent;
    return v;
  }
  constexpr u64 significand() const { return significand_; }
  constexpr std::uint16_t signAndExponent() const { return signAndExponent_; }

  constexpr bool negative() const { return (signAndExponent_ >> 15) != 0; }
  constexpr int biasedExponent() const { return signAndExponent_ & 0x7fff; }
  constexpr bool IsNan() const { return biasedExponent() == 0x7fff && (significand_ << 1) != 0; }
  constexpr bool IsInf() const { return biasedExponent() == 0x7fff && (significand_ << 1) == 0; }
  constexpr bool IsZero() const { return significand_ == 0 && biasedExponent() != 0x7fff; }

  static constexpr SoftExtended Infinity(bool negative = false) {
    return FromBits(u64{1} << 63, static_cast<std::uint16_t>(0x7fff | (negative ? 0x8000 : 0)));
  }
  // The x87's default NaN, the one an invalid operation gives.
  static constexpr SoftExtended DefaultNan() { return FromBits(u64{3} << 62, 0xffff); }
  static constexpr SoftExtended QuietNan() { return FromBits(u64{3} << 62, 0x7fff); }
  static constexpr SoftExtended Largest() { return FromBits(~u64{0}, 0x7ffe); }
  static constexpr SoftExtended Smallest() { return FromBits(u64{1} << 63, 1); }
  static constexpr SoftExtended Epsilon() { return FromBits(u64{1} << 63, kBias - 63); }

  // m * 2^e (m below 2^128, plus `sticky`: a little more than that, less
  // than 2^e) rounded to the format.
  static constexpr SoftExtended Rounded(bool negative, u128 m, int e, bool sticky) {
    if (m == 0) return Zero(negative);
    const int lead = BitWidth(m) - 1 + e;
    int unit = lead - 63 < kMinUnit ? kMinUnit : lead - 63;
    const int drop = unit - e;
    u64 kept;
    bool half = false;
    if (drop <= 0) {
      kept = static_cast<u64>(m << -drop);
    } else if (drop > 128) {
      kept = 0;
      sticky = true;
    } else {
      kept = drop == 128 ? 0 : static_cast<u64>(m >> drop);
      half = ((m >> (drop - 1)) & 1) != 0;
      sticky = sticky || (drop > 1 && (m << (129 - drop)) != 0);
    }
    if (half && (sticky || (kept & 1) != 0)) {
      if (++kept == 0) {
        kept = u64{1} << 63;
        ++unit;
      }
    }
    if (unit > kMaxUnit) return Infinity(negative);
    if (kept == 0) return Zero(negative);
    const int biased = (kept >> 63) != 0 ? unit + 63 + kBias : 0;
    return FromBits(kept, static_cast<std::uint16_t>(biased | (negative ? 0x8000 : 0)));
  }

  // The value as m * 2^e with m the significand (e of a subnormal is the
  // smallest unit): exact.
  constexpr int unitExponent() const {
    return biasedExponent() == 0 ? kMinUnit : biasedExponent() - kBias - 63;
  }

  constexpr SoftExtended operator-() const {
    return FromBits(significand_, static_cast<std::uint16_t>(signAndExponent_ ^ 0x8000));
  }
  constexpr SoftExtended operator+() const { return *this; }

  friend constexpr SoftExtended operator+(const SoftExtended& a, const SoftExtended& b) { return Add(a, b, false); }
  friend constexpr SoftExtended operator-(const SoftExtended& a, const SoftExtended& b) { return Add(a, b, true); }
  friend constexpr SoftExtended operator*(const SoftExtended& a, const SoftExtended& b) {
    if (a.IsNan() || b.IsNan()) return PickNan(a, b);
    const bool negative = a.negative() != b.negative();
    if (a.IsInf() || b.IsInf()) return a.IsZero() || b.IsZero() ? DefaultNan() : Infinity(negative);
    return Rounded(negative, static_cast<u128>(a.significand_) * b.significand_, a.unitExponent() + b.unitExponent(),
                   false);
  }
  friend constexpr SoftExtended operator/(const SoftExtended& a, const SoftExtended& b) {
    if (a.IsNan() || b.IsNan()) return PickNan(a, b);
    const bool negative = a.negative() != b.negative();
    if (a.IsInf()) return b.IsInf() ? DefaultNan() : Infinity(negative);
    if (b.IsInf()) return Zero(negative);
    if (b.IsZero()) return a.IsZero() ? DefaultNan() : Infinity(negative);
    if (a.IsZero()) return Zero(negative);
    int ea = 0, eb = 0;
    const u64 ma = NormalizedSignificand(a, ea), mb = NormalizedSignificand(b, eb);
    // Two steps of long division give 125 to 127 bits of the quotient and
    // whether anything remains: enough for one correct rounding.
    const u128 wide = static_cast<u128>(ma) << 64;
    const u128 q1 = wide / mb, r1 = wide % mb;
    const u128 next = r1 << 62;
    const u128 q = (q1 << 62) | (next / mb);
    return Rounded(negative, q, ea - eb - 64 - 62, next % mb != 0);
  }
  constexpr SoftExtended& operator+=(const SoftExtended& b) { return *this = *this + b; }
  constexpr SoftExtended& operator-=(const SoftExtended& b) { return *this = *this - b; }
  constexpr SoftExtended& operator*=(const SoftExtended& b) { return *this = *this * b; }
  constexpr SoftExtended& operator/=(const SoftExtended& b) { return *this = *this / b; }

  friend constexpr bool operator==(const SoftExtended& a, const SoftExtended& b) {
    if (a.IsNan() || b.IsNan()) return false;
    if (a.IsZero() && b.IsZero()) return true;
    return a.significand_ == b.significand_ && a.signAndExponent_ == b.signAndExponent_;
  }
  friend constexpr std::partial_ordering operator<=>(const SoftExtended& a, const SoftExtended& b) {
    if (a.IsNan() || b.IsNan()) return std::partial_ordering::unordered;
    const auto ka = a.OrderKey(), kb = b.OrderKey();
    return ka < kb ? std::partial_ordering::less
                   : (ka > kb ? std::partial_ordering::greater : std::partial_ordering::equivalent);
  }

  // Conversions out, as C++ converts a long double: to an integer by
  // cutting the fraction (the value must fit), to double rounded to
  // nearest, ties to even; to the platform's long double exactly (every
  // platform built for has 64 significant bits or more there).
  template <std::integral I>
    requires(!std::same_as<I, bool>)
  explicit constexpr operator I() const {
    const SoftExtended whole = Trunc(*this);
    if (whole.IsZero()) return 0;
    const int e = whole.unitExponent();
    const u64 magnitude = e >= 0 ? whole.significand_ << e : whole.significand_ >> -e;
    return static_cast<I>(whole.negative() ? u64{0} - magnitude : magnitude);
  }
  explicit constexpr operator double() const { return ToDouble(); }
  explicit constexpr operator float() const { return ToFloat(); }
  explicit operator long double() const;

  // Rounding to whole numbers: exact, the sign of a zero kept.
  enum class ToWhole { kNearestEven, kDown, kUp, kTowardZero };
  static constexpr SoftExtended RoundWhole(const SoftExtended& x, ToWhole how) {
    if (x.IsNan() || x.IsInf() || x.IsZero()) return x;
    const int e = x.unitExponent();
    if (e >= 0) return x;
    const u64 m = x.significand_;
    const int shift = -e;
    u64 whole = shift >= 64 ? 0 : m >> shift;
    const u64 fraction = shift >= 64 ? m : m << (64 - shift);  // the cut bits, left-aligned
    const bool exactHalf = shift <= 64 && fraction == (u64{1} << 63);
    const bool aboveHalf = shift <= 64 ? fraction > (u64{1} << 63) : false;
    bool up = false;
    switch (how) {
      case ToWhole::kNearestEven: up = aboveHalf || (exactHalf && (whole & 1) != 0); break;
      case ToWhole::kDown: up = x.negative() && fraction != 0; break;
      case ToWhole::kUp: up = !x.negative() && fraction != 0; break;
      case ToWhole::kTowardZero: break;
    }
    if (up) ++whole;  // below 2^63 here: no carry out
    if (whole == 0) return Zero(x.negative());
    return Normalized(x.negative(), whole, 0);
  }
  friend constexpr SoftExtended Trunc(const SoftExtended& x) { return RoundWhole(x, ToWhole::kTowardZero); }

  // x * 2^n, exact where the result is a normal value or zero.
  static constexpr SoftExtended Scaled(const SoftExtended& x, int n) {
    if (x.IsNan() || x.IsInf() || x.IsZero()) return x;
    if (n > 40000) n = 40000;
    if (n < -40000) n = -40000;
    return Rounded(x.negative(), x.significand_, x.unitExponent() + n, false);
  }
  // The fraction in [1/2, 1) and the exponent: x = fraction * 2^exponent.
  static constexpr SoftExtended Split(const SoftExtended& x, int& exponent) {
    exponent = 0;
    if (x.IsNan() || x.IsInf() || x.IsZero()) return x;
    int e = 0;
    const u64 m = NormalizedSignificand(x, e);
    exponent = e + 64;
    return FromBits(m, static_cast<std::uint16_t>((kBias - 1) | (x.negative() ? 0x8000 : 0)));
  }

 private:
  static constexpr int kMinUnit = 1 - kBias - 63;       // a subnormal's unit, 2^-16445
  static constexpr int kMaxUnit = 0x7ffe - kBias - 63;  // the largest normal's unit, 2^16320

  static constexpr SoftExtended Zero(bool negative) { return FromBits(0, negative ? 0x8000 : 0); }
  static constexpr int BitWidth(u128 m) {
    const u64 high = static_cast<u64>(m >> 64);
    return high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<u64>(m));
  }
  static constexpr SoftExtended Normalized(bool negative, u64 m, int e) { return Rounded(negative, m, e, false); }
  // The significand with its top bit set and the matching unit exponent.
  static constexpr u64 NormalizedSignificand(const SoftExtended& x, int& e) {
    const int shift = std::countl_zero(x.significand_);
    e = x.unitExponent() - shift;
    return x.significand_ << shift;
  }
  // The x87 rule: the NaN operand made quiet; of two, the larger significand.
  static constexpr SoftExtended PickNan(const SoftExtended& a, const SoftExtended& b) {
    auto quiet = [](const SoftExtended& v) { return FromBits(v.significand_ | (u64{3} << 62), v.signAndExponent_); };
    if (a.IsNan() && b.IsNan()) {
      const u64 ma = a.significand_ << 1, mb = b.significand_ << 1;
      if (ma != mb) return quiet(ma > mb ? a : b);
      return quiet(a.negative() ? b : a);
    }
    return quiet(a.IsNan() ? a : b);
  }
  // Exponent and significand as one number: ordered as the magnitudes.
  constexpr u128 Magnitude() const { return (static_cast<u128>(biasedExponent()) << 64) | significand_; }
  // A key that orders values as numbers (not NaN).
  constexpr __int128 OrderKey() const {
    if (IsZero()) return 0;
    const auto magnitude = static_cast<__int128>(Magnitude());
    return negative() ? -magnitude : magnitude;
  }

  static constexpr SoftExtended Add(const SoftExtended& a, SoftExtended b, bool subtract) {
    if (subtract) b = -b;
    if (a.IsNan() || b.IsNan()) return PickNan(a, b);
    if (a.IsInf() || b.IsInf()) {
      if (a.IsInf() && b.IsInf() && a.negative() != b.negative()) return DefaultNan();
      return a.IsInf() ? a : b;
    }
    if (a.IsZero() && b.IsZero()) return Zero(a.negative() && b.negative());
    if (a.IsZero()) return b;
    if (b.IsZero()) return a;
    // The larger magnitude first, its significand at bits 62..125; the
    // smaller shifted right below it, the bits shifted out kept as one
    // sticky bit at the bottom, 62 bits under the rounding position.
    const bool aFirst = a.Magnitude() >= b.Magnitude();
    const SoftExtended& x = aFirst ? a : b;
    const SoftExtended& y = aFirst ? b : a;
    const int ex = x.unitExponent(), ey = y.unitExponent();
    const u128 big = static_cast<u128>(x.significand_) << 62;
    const int d = ex - ey;
    u128 small = static_cast<u128>(y.significand_) << 62;
    if (d >= 128) {
      small = 1;
    } else if (d > 0) {
      const bool lost = (small & ((static_cast<u128>(1) << d) - 1)) != 0;
      small = (small >> d) | (lost ? 1 : 0);
    }
    if (x.negative() == y.negative()) {
      const u128 sum = big + small;  // below 2^127
      return Rounded(x.negative(), sum, ex - 62, false);
    }
    const u128 difference = big - small;
    if (difference == 0) return Zero(false);
    return Rounded(x.negative(), difference, ex - 62, false);
  }

  static constexpr SoftExtended FromDouble(double value) {
    const auto bits = __builtin_bit_cast(std::uint64_t, value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    const u64 fraction = bits & ((u64{1} << 52) - 1);
    if (biased == 0x7ff) {
      if (fraction == 0) return Infinity(negative);
      return FromBits((u64{1} << 63) | (fraction << 11), static_cast<std::uint16_t>(0x7fff | (negative ? 0x8000 : 0)));
    }
    if (biased == 0) return Rounded(negative, fraction, -1074, false);
    return Rounded(negative, fraction | (u64{1} << 52), biased - 1075, false);
  }

  // A finite nonzero value rounded to `bits` significant bits with the
  // smallest unit 2^minUnit (a narrower format's subnormals): the kept
  // significand and its unit.
  constexpr void RoundToNarrower(int bits, int minUnit, u64& kept, int& unit) const {
    int e = 0;
    const u64 m = NormalizedSignificand(*this, e);
    unit = e + 63 - (bits - 1) < minUnit ? minUnit : e + 63 - (bits - 1);
    const int drop = unit - e;  // at least 64 - bits
    kept = drop >= 64 ? 0 : m >> drop;
    const bool half = drop <= 64 && ((m >> (drop - 1)) & 1) != 0;
    const bool sticky = drop > 64 || (drop > 1 && (m << (65 - drop)) != 0);
    if (half && (sticky || (kept & 1) != 0)) {
      if (++kept == (u64{1} << bits)) {
        kept >>= 1;
        ++unit;
      }
    }
  }

  constexpr double ToDouble() const {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    if (IsNan()) {
      const u64 payload = (significand_ << 1) >> 12;
      return __builtin_bit_cast(double, (negative() ? u64{1} << 63 : 0) | (u64{0x7ff} << 52) | (u64{1} << 51) | payload);
    }
    if (IsInf()) return negative() ? -kInfinity : kInfinity;
    if (IsZero()) return negative() ? -0.0 : 0.0;
    u64 kept = 0;
    int unit = 0;
    RoundToNarrower(53, -1074, kept, unit);
    if (unit > 1023 - 52) return negative() ? -kInfinity : kInfinity;
    const u64 biased = (kept >> 52) != 0 ? static_cast<u64>(unit + 52 + 1023) : 0;
    return __builtin_bit_cast(double, (negative() ? u64{1} << 63 : 0) | (biased << 52) | (kept & ((u64{1} << 52) - 1)));
  }
  constexpr float ToFloat() const {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (IsNan()) return std::numeric_limits<float>::quiet_NaN();
    if (IsInf()) return negative() ? -kInfinity : kInfinity;
    if (IsZero()) return negative() ? -0.0f : 0.0f;
    u64 kept = 0;
    int unit = 0;
    RoundToNarrower(24, -149, kept, unit);
    if (unit > 127 - 23) return negative() ? -kInfinity : kInfinity;
    const std::uint32_t biased = (kept >> 23) != 0 ? static_cast<std::uint32_t>(unit + 23 + 127) : 0;
    return __builtin_bit_cast(float, (negative() ? std::uint32_t{1} << 31 : 0) | (biased << 23) |
                                static_cast<std::uint32_t>(kept & ((u64{1} << 23) - 1)));
  }

  static consteval SoftExtended FromExactLongDouble(long double value) {
    if (value != value) return QuietNan();
    const bool negative = __builtin_copysignl(1.0L, value) < 0;  // -0 too; constant in GCC and clang
    long double a = negative ? -value : value;
    if (a == 0) return Zero(negative);
    if (a > LDBL_MAX) return Infinity(negative);
    int e = 0;
    constexpr long double kTwo64 = 18446744073709551616.0L;
    while (a >= kTwo64 * kTwo64) a /= kTwo64, e += 64;
    while (a >= kTwo64) a /= 2, ++e;
    while (a < 1.0L / kTwo64) a *= kTwo64, e -= 64;
    while (a < kTwo64 / 2) a *= 2, --e;
    const auto m = static_cast<u64>(a);
    if (static_cast<long double>(m) != a) throw "a constant with more than 64 significant bits: write it exactly";
    return Rounded(negative, m, e, false);
  }

  u64 significand_ = 0;
  std::uint16_t signAndExponent_ = 0;
};

inline SoftExtended::operator long double() const {
  static_assert(LDBL_MANT_DIG >= 64, "the platform's long double holds every 80-bit value");
  if (IsNan()) return std::numeric_limits<long double>::quiet_NaN();
  if (IsInf()) return negative() ? -std::numeric_limits<long double>::infinity()
                                 : std::numeric_limits<long double>::infinity();
  long double v = static_cast<long double>(significand_);
  int e = unitExponent();
  // Scaling by powers of two is exact (no subnormal in between: the
  // platform's range is at least as wide).
  for (; e > 0; --e) v *= 2;
  for (; e < 0; ++e) v /= 2;
  return negative() ? -v : v;
}

#if defined(TAVIMO_SOFT_EXTENDED) || LDBL_MANT_DIG != 64
using Extended = SoftExtended;
inline constexpr bool kSoftExtended = true;
#else
static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384, "the hardware type is the 80-bit x87 format");
using Extended = long double;
inline constexpr bool kSoftExtended = false;
#endif

// The exact operations the digit path uses, the same names for both types.
inline long double Abs(long double x) { return __builtin_fabsl(x); }
inline long double Floor(long double x) { return __builtin_floorl(x); }
inline long double Ceil(long double x) { return __builtin_ceill(x); }
inline long double NearestEven(long double x) { return __builtin_nearbyintl(x); }
inline long double ScaleByPowerOfTwo(long double x, int n) { return __builtin_ldexpl(x, n); }
inline long double SplitExponent(long double x, int& exponent) { return __builtin_frexpl(x, &exponent); }
inline bool IsNan(long double x) { return __builtin_isnan(x); }
inline bool IsInf(long double x) { return __builtin_isinf(x); }
inline bool IsFinite(long double x) { return __builtin_isfinite(x); }
inline bool SignBit(long double x) { return __builtin_signbit(x); }

constexpr SoftExtended Abs(const SoftExtended& x) { return x.negative() ? -x : x; }
constexpr SoftExtended Floor(const SoftExtended& x) { return SoftExtended::RoundWhole(x, SoftExtended::ToWhole::kDown); }
constexpr SoftExtended Ceil(const SoftExtended& x) { return SoftExtended::RoundWhole(x, SoftExtended::ToWhole::kUp); }
constexpr SoftExtended NearestEven(const SoftExtended& x) {
  return SoftExtended::RoundWhole(x, SoftExtended::ToWhole::kNearestEven);
}
constexpr SoftExtended ScaleByPowerOfTwo(const SoftExtended& x, int n) { return SoftExtended::Scaled(x, n); }
constexpr SoftExtended SplitExponent(const SoftExtended& x, int& exponent) { return SoftExtended::Split(x, exponent); }
constexpr bool IsNan(const SoftExtended& x) { return x.IsNan(); }
constexpr bool IsInf(const SoftExtended& x) { return x.IsInf(); }
constexpr bool IsFinite(const SoftExtended& x) { return x.biasedExponent() != 0x7fff; }
constexpr bool SignBit(const SoftExtended& x) { return x.negative(); }

}  // namespace tavimo

template <>
class std::numeric_limits<tavimo::SoftExtended> {
 public:
  static constexpr bool is_specialized = true;
  static constexpr bool is_signed = true;
  static constexpr bool is_integer = false;
  static constexpr bool is_exact = false;
  static constexpr bool has_infinity = true;
  static constexpr bool has_quiet_NaN = true;
  static constexpr bool is_iec559 = true;
  static constexpr int digits = 64;
  static constexpr int max_exponent = 16384;
  static constexpr int min_exponent = -16381;
  static constexpr int radix = 2;
  static constexpr tavimo::SoftExtended infinity() { return tavimo::SoftExtended::Infinity(); }
  static constexpr tavimo::SoftExtended quiet_NaN() { return tavimo::SoftExtended::QuietNan(); }
  static constexpr tavimo::SoftExtended max() { return tavimo::SoftExtended::Largest(); }
  static constexpr tavimo::SoftExtended lowest() { return -tavimo::SoftExtended::Largest(); }
  static constexpr tavimo::SoftExtended min() { return tavimo::SoftExtended::Smallest(); }
  static constexpr tavimo::SoftExtended epsilon() { return tavimo::SoftExtended::Epsilon(); }
};
