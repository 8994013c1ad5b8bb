#pragma once
// Internal to the number text: the parts of an 80-bit x87 value, the powers
// that scale it to 18 decimal digits, and digits made in registers. Shared
// by the exact expansion and the fast text path so that both read a value
// the same way.

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include "number/extended.h"

namespace tavimo::x87 {

static_assert(std::numeric_limits<Extended>::digits == 64,
              "the significand is read as the 64 bits of the x87 format");
static_assert(std::endian::native == std::endian::little, "the digit lanes are written little-endian");

using u64 = std::uint64_t;
using u128 = unsigned __int128;

inline constexpr u64 kTen17 = 100000000000000000ULL;
inline constexpr u64 kTen18 = 1000000000000000000ULL;
inline constexpr int kBias = 16383;

// The fields of the x87 format: a 64-bit significand with an explicit
// integer bit, then the sign and the 15-bit biased exponent. A normal value
// (integer bit set) is significand * 2^(exponent - 63) and lies in
// [2^exponent, 2^(exponent + 1)).
struct Parts {
  u64 significand;
  std::uint16_t signAndExponent;

  int exponent() const { return (signAndExponent & 0x7fff) - kBias; }
  bool normal() const { return (significand >> 63) != 0; }
  bool zero() const { return significand == 0 && (signAndExponent & 0x7fff) == 0; }
  // The text's sign position: '-' or a blank, worked out rather than chosen.
  char sign() const { return static_cast<char>(' ' + ('-' - ' ') * (signAndExponent >> 15)); }
};

// Read from the bits: cheaper than x87 compares, and odd encodings stay
// what they are for the caller to send the slow way. Taken by reference so
// that the bits come straight from where the value lies: a copy through the
// x87 stack would store 80 bits and read them back at once, which stalls.
[[gnu::always_inline]] inline Parts PartsOf(const Extended& value) {
  unsigned char bytes[10];
  std::memcpy(bytes, &value, sizeof bytes);
  u64 m;
  std::uint16_t signAndExponent;
  std::memcpy(&m, bytes, 8);
  std::memcpy(&signAndExponent, bytes + 8, 2);
  return {m, signAndExponent};
}

// The value with these fields: PartsOf's inverse. The integer bit is the
// caller's to set (clear for a subnormal).
inline Extended FromParts(u64 significand, int biasedExponent, bool negative) {
  const auto signAndExponent = static_cast<std::uint16_t>((biasedExponent & 0x7fff) | (negative ? 0x8000 : 0));
  unsigned char bytes[sizeof(Extended)] = {};
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &signAndExponent, 2);
  Extended value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// 10^0 .. 10^19 and 5^0 .. 5^55, the last power of five below 2^128.
inline constexpr int kMaxPow5 = 55;
struct Powers {
  u64 ten[20];
  u128 five[kMaxPow5 + 1];
};
constexpr Powers MakePowers() {
  Powers t{};
  t.ten[0] = 1;
  for (int i = 1; i < 20; ++i) t.ten[i] = t.ten[i - 1] * 10;
  t.five[0] = 1;
  for (int i = 1; i <= kMaxPow5; ++i) t.five[i] = t.five[i - 1] * 5;
  return t;
}
inline constexpr Powers kPowers = MakePowers();

// floor(E * log10(2)), exact for |E| <= 1650.
constexpr int FloorLog10Pow2(int e) { return (e * 78913) >> 18; }

// The four digits of every number below 10^4 as the bytes of a 32-bit
// word, the first digit lowest: two lookups make eight digits. Cheaper than
// computing them (in registers or from a table of pairs) even when the
// kernel's copying of the output pushes the table out of the first-level
// cache now and then.
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
inline constexpr FourDigits kFourDigits = MakeFourDigits();

// The eight digits of n < 10^8 as characters in the bytes of one 64-bit
// word, the first digit in the lowest byte, leading zeros included.
[[gnu::always_inline]] inline u64 Digits8(std::uint32_t n) {
  return kFourDigits.of[n / 10000] | static_cast<u64>(kFourDigits.of[n % 10000]) << 32;
}

}  // namespace tavimo::x87
