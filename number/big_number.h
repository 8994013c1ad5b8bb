#pragma once
// A nonnegative whole number of any size, for the exact paths far outside
// drawing coordinates: reading long digit strings into an 80-bit value and
// writing the digits of far magnitudes.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace tavimo {

// 32-bit limbs, least significant first, no zero limb on top (zero has none).
class BigNumber {
 public:
  explicit BigNumber(std::uint64_t value = 0) {
    for (; value != 0; value >>= 32) limbs_.push_back(static_cast<std::uint32_t>(value));
  }

  bool IsZero() const { return limbs_.empty(); }
  std::int64_t BitLength() const {
    return IsZero() ? 0 : static_cast<std::int64_t>(limbs_.size() - 1) * 32 + std::bit_width(limbs_.back());
  }
  bool Bit(std::int64_t i) const {
    const auto limb = static_cast<std::size_t>(i / 32);
    return limb < limbs_.size() && ((limbs_[limb] >> (i % 32)) & 1u);
  }
  // Whether any bit below bit i is set.
  bool AnyBitBelow(std::int64_t i) const {
    const auto whole = std::min(static_cast<std::size_t>(i / 32), limbs_.size());
    for (std::size_t k = 0; k < whole; ++k)
      if (limbs_[k] != 0) return true;
    return whole < limbs_.size() && (limbs_[whole] & ((std::uint32_t{1} << (i % 32)) - 1)) != 0;
  }
  // Bits from .. from + 63 as one number.
  std::uint64_t Bits64(std::int64_t from) const {
    std::uint64_t m = 0;
    for (int j = 63; j >= 0; --j) m = (m << 1) | (Bit(from + j) ? 1u : 0u);
    return m;
  }
  static int Compare(const BigNumber& a, const BigNumber& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    return 0;
  }

  // *this = *this * factor + addend.
  void MulAdd(std::uint32_t factor, std::uint32_t addend = 0) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t t = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }
  void ShiftLeft(std::int64_t bits) {
    if (IsZero() || bits == 0) return;
    const auto limbs = static_cast<std::size_t>(bits / 32);
    const int rest = static_cast<int>(bits % 32);
    if (rest != 0) {
      std::uint32_t carry = 0;
      for (std::uint32_t& limb : limbs_) {
        const std::uint32_t next = limb >> (32 - rest);
        limb = (limb << rest) | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), limbs, std::uint32_t{0});
  }
  // *this = floor(*this / kDivisor); returns the remainder. The divisor is
  // a constant, so that the compiler divides by multiplying.
  template <std::uint32_t kDivisor>
  std::uint32_t DivideBy() {
    std::uint64_t rest = 0;
    for (std::size_t k = limbs_.size(); k-- > 0;) {
      const std::uint64_t t = (rest << 32) | limbs_[k];
      limbs_[k] = static_cast<std::uint32_t>(t / kDivisor);
      rest = t % kDivisor;
    }
    Trim();
    return static_cast<std::uint32_t>(rest);
  }
  // *this = *this mod d; returns the quotient, which the caller knows to
  // be below 2^64 (and then takes for one).
  std::uint64_t DivideSmallQuotient(const BigNumber& d) {
    std::uint64_t q = 0;
    for (std::int64_t i = std::min<std::int64_t>(BitLength() - d.BitLength(), 64); i >= 0; --i) {
      BigNumber shifted = d;
      shifted.ShiftLeft(i);
      if (Compare(*this, shifted) >= 0) {
        Subtract(shifted);
        if (i < 64) q |= std::uint64_t{1} << i;
        else q = ~std::uint64_t{0};  // 2^64 or more: only "too big" matters
      }
    }
    return q;
  }

 private:
  void Subtract(const BigNumber& b) {  // b <= *this
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::int64_t t = std::int64_t{limbs_[i]} - borrow - (i < b.limbs_.size() ? std::int64_t{b.limbs_[i]} : 0);
      borrow = t < 0 ? 1 : 0;
      limbs_[i] = static_cast<std::uint32_t>(t + (borrow << 32));
    }
    Trim();
  }
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

}  // namespace tavimo
