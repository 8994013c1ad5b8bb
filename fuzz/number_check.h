#pragma once
// What the fuzz targets demand of every number text: the exact shape the
// number rules allow, the digits of an independent reference, and a value
// when read back in the C locale. Written apart from number/ on purpose.

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tavimo::fuzz {

// A number text taken apart: magnitude = 0.digits x 10^point.
struct NumberShape {
  bool negative = false;
  std::string digits;  // significant digits, no leading or trailing "0"; empty for zero
  int point = 1;
};

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline bool AllDigits(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

// The string form (sign position, then body) of a number written with at
// most `n` significant digits. Nothing when the text breaks a rule; `why`
// then says which.
inline std::optional<NumberShape> ParseNumberText(std::string_view text, int n, std::string* why) {
  auto fail = [&](const char* reason) -> std::optional<NumberShape> {
    if (why != nullptr) *why = reason;
    return std::nullopt;
  };
  if (text.size() < 2) return fail("too short");
  if (text[0] != ' ' && text[0] != '-') return fail("sign position is neither blank nor '-'");
  NumberShape shape;
  shape.negative = text[0] == '-';
  const std::string_view body = text.substr(1);

  if (body == "0") {
    if (shape.negative) return fail("zero with '-'");
    return shape;
  }

  const std::size_t e = body.find('E');
  if (e != std::string_view::npos) {
    const std::string_view mantissa = body.substr(0, e);
    const std::string_view exponent = body.substr(e + 1);
    if (mantissa.empty() || mantissa[0] < '1' || mantissa[0] > '9') return fail("exponent form without d1");
    shape.digits = mantissa.substr(0, 1);
    if (mantissa.size() > 1) {
      const std::string_view rest = mantissa.substr(2);
      if (mantissa[1] != '.' || rest.empty() || !AllDigits(rest)) return fail("bad mantissa");
      if (rest.back() == '0') return fail("trailing zero in the mantissa");
      shape.digits += rest;
    }
    if (exponent.size() < 2 || exponent.size() > 5) return fail("bad exponent length");
    if (exponent[0] != '+' && exponent[0] != '-') return fail("exponent without its sign");
    const std::string_view magnitude = exponent.substr(1);
    if (!AllDigits(magnitude) || magnitude[0] == '0') return fail("bad exponent digits");
    int x = 0;
    for (char c : magnitude) x = x * 10 + (c - '0');
    shape.point = (exponent[0] == '-' ? -x : x) + 1;
    const int s = static_cast<int>(shape.digits.size());
    if (!(shape.point > n || (shape.point <= 0 && s - shape.point > n)))
      return fail("exponent form where fixed point fits");
  } else if (body.find('.') != std::string_view::npos) {
    const std::size_t dot = body.find('.');
    const std::string_view whole = body.substr(0, dot);
    const std::string_view fraction = body.substr(dot + 1);
    if (fraction.empty() || !AllDigits(fraction) || !AllDigits(whole)) return fail("bad fixed-point text");
    if (fraction.back() == '0') return fail("trailing zero in the fraction");
    if (whole.empty()) {
      const std::size_t zeros = fraction.find_first_not_of('0');
      shape.digits = fraction.substr(zeros);
      shape.point = -static_cast<int>(zeros);
      if (static_cast<int>(fraction.size()) > n) return fail("more places than digits allowed");
    } else {
      if (whole[0] == '0') return fail("leading zero");
      shape.digits = std::string(whole) + std::string(fraction);
      shape.point = static_cast<int>(whole.size());
    }
  } else {
    if (!AllDigits(body) || body[0] == '0') return fail("bad whole number");
    if (static_cast<int>(body.size()) > n) return fail("whole number longer than the digits allowed");
    shape.point = static_cast<int>(body.size());
    shape.digits = body.substr(0, body.find_last_not_of('0') + 1);
  }
  if (static_cast<int>(shape.digits.size()) > n) return fail("too many significant digits");
  return shape;
}

// The text read as strtold reads it in the C locale; nothing unless the
// whole text is one number.
inline std::optional<long double> ReadText(const std::string& text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char* end = nullptr;
  const long double value = strtold_l(text.c_str(), &end, c);
  if (text.empty() || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

// The same, and the number must be finite.
inline std::optional<long double> ReadBack(const std::string& text) {
  const auto value = ReadText(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

// The digits and point that `value` must be written with, to `digits`
// significant digits: glibc's printf gives the magnitude correctly rounded
// to 18 significant digits, then digit N+1 alone decides the rounding to N
// digits (a 5 to even, whatever follows it).
inline NumberShape Reference(long double value, int digits) {
  NumberShape shape;
  shape.negative = value < 0;
  if (value == 0) return shape;
  char text[64];
  // "d.ddddddddddddddddde+XXXX": 18 significant digits, correctly rounded;
  // taken apart by position, whatever the decimal separator.
  std::snprintf(text, sizeof text, "%.17Le", std::fabs(value));
  std::string d(1, text[0]);
  d.append(text + 2, 17);
  int point = std::atoi(std::strchr(text, 'e') + 1) + 1;
  if (digits < 18) {
    const char next = d[digits];
    d.resize(digits);
    if (next > '5' || (next == '5' && (d.back() - '0') % 2 == 1)) {
      int k = digits - 1;
      while (k >= 0 && d[k] == '9') d[k--] = '0';
      if (k >= 0) {
        ++d[k];
      } else {
        d.insert(d.begin(), '1');
        d.pop_back();
        ++point;
      }
    }
  }
  shape.digits = d.substr(0, d.find_last_not_of('0') + 1);
  shape.point = point;
  return shape;
}

inline std::string Describe(const NumberShape& shape) {
  return std::string(shape.negative ? "-" : "+") + "0." + shape.digits + " x 10^" + std::to_string(shape.point);
}

}  // namespace tavimo::fuzz
