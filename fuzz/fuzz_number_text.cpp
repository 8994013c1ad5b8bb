// NumberString, FormatNumberItem and FormatNumber over every 80-bit value
// that arithmetic can produce: normal, subnormal, either zero.
//
// Input: ten bytes of the value (64-bit significand, then sign and
// exponent, little-endian; shorter inputs are padded with zeros) and one
// byte choosing the digits (1..18). Each text must have the shape the
// number rules allow and carry exactly the digits of the reference in
// fuzz/number_check.h, which rounds as the rules say by other means than
// number/ does.

#include <locale.h>
#include <stdio.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/number_check.h"
#include "number/number_text.h"
#include "number/x87_decimal.h"

namespace {

using tavimo::fuzz::Describe;
using tavimo::fuzz::NumberShape;
using tavimo::fuzz::ParseNumberText;
using tavimo::fuzz::Reference;
using tavimo::fuzz::ReadText;

[[noreturn]] void Fail(const char* what, long double value, int digits, const std::string& text,
                       const std::string& detail) {
  std::fprintf(stderr, "%s\n  value %La (%.21Lg), digits %d\n  text \"%s\"\n  %s\n", what, value, value, digits,
               text.c_str(), detail.c_str());
  std::abort();
}

// Only encodings that arithmetic produces: the explicit integer bit is set
// exactly when the exponent is not 0; infinities and NaNs are left out.
bool ValueFromBytes(const std::uint8_t* data, std::size_t size, long double& value) {
  std::uint8_t bytes[10] = {};
  std::memcpy(bytes, data, size < 10 ? size : 10);
  std::uint64_t significand;
  std::uint16_t signExponent;
  std::memcpy(&significand, bytes, 8);
  std::memcpy(&signExponent, bytes + 8, 2);
  const unsigned exponent = signExponent & 0x7fffu;
  if (exponent == 0x7fffu) return false;
  if (exponent == 0) {
    significand &= ~(std::uint64_t{1} << 63);
  } else {
    significand |= std::uint64_t{1} << 63;
  }
  value = tavimo::x87::FromParts(significand, static_cast<int>(exponent), (signExponent & 0x8000u) != 0);
  return std::isfinite(value);
}

// `text` is the string form of `value` with `digits` digits.
void CheckStringForm(long double value, int digits, const std::string& text, const char* what) {
  std::string why;
  const auto shape = ParseNumberText(text, digits, &why);
  if (!shape) Fail(what, value, digits, text, "shape: " + why);
  const NumberShape expected = Reference(value, digits);
  if (shape->negative != expected.negative || shape->digits != expected.digits || shape->point != expected.point)
    Fail(what, value, digits, text, "reads as " + Describe(*shape) + ", expected " + Describe(expected));
  // Read back, the text is the value rounded to the digits requested. With
  // 15 digits (every coordinate in a file) that is always finite; with other
  // counts the largest values may round up past the largest long double and
  // read back as infinite, as does the rounded value itself.
  const std::string reference = (expected.negative ? "-0." : "0.") + (expected.digits.empty() ? "0" : expected.digits) +
                                "e" + std::to_string(expected.point);
  const auto back = ReadText(text);
  if (!back) Fail(what, value, digits, text, "does not read back as one number");
  if (digits == 15 && !std::isfinite(*back)) Fail(what, value, digits, text, "reads back as infinite");
  if (*back != *ReadText(reference)) Fail(what, value, digits, text, "reads back other than " + reference);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reference's printf must see "." as the decimal point, whatever the
  // environment says.
  uselocale(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0)));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  long double value;
  if (!ValueFromBytes(data, size, value)) return 0;
  const int digits = size > 10 ? 1 + data[10] % 18 : 15;

  CheckStringForm(value, 15, tavimo::NumberString(value), "NumberString");

  const std::string item = tavimo::FormatNumberItem(value, digits);
  if (item.size() < 3 || item.back() != ' ') Fail("FormatNumberItem", value, digits, item, "no trailing blank");
  CheckStringForm(value, digits, item.substr(0, item.size() - 1), "FormatNumberItem");

  // The allocation-free core, into a buffer of exactly the promised size
  // on the heap, so that a write past it is caught.
  for (const bool asItem : {false, true}) {
    const std::unique_ptr<char[]> out(new char[tavimo::kMaxNumberText]);
    const std::size_t length = tavimo::FormatNumber(out.get(), value, digits, asItem);
    if (length > tavimo::kMaxNumberText) Fail("FormatNumber", value, digits, "", "length beyond kMaxNumberText");
    const std::string text(out.get(), length);
    if (text != (asItem ? item : item.substr(0, item.size() - 1)))
      Fail("FormatNumber", value, digits, text, "differs from FormatNumberItem");
  }
  return 0;
}
