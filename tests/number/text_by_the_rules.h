#pragma once
// The oracle of the number-text tests.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tavimo {

// The text by the rules, spelled out on the characters of printf's
// correctly rounded 18 digits: the oracle for FormatNumber, whose own way
// to the same text is integer arithmetic.
inline std::string ByTheRules(long double value, int n, bool item) {
  const std::string end = item ? " " : "";
  if (value == 0) return " 0" + end;
  char text[64];
  std::snprintf(text, sizeof text, "%.17Le", std::fabs(value));  // d.ddd...e+x; text[1] is the locale's point
  std::string expansion = text[0] + std::string(text + 2, 17);
  int point = std::atoi(std::strchr(text, 'e') + 1) + 1;

  std::string digits = expansion.substr(0, n);
  if (n < 18) {
    const char next = expansion[n];
    if (next > '5' || (next == '5' && (digits.back() - '0') % 2 == 1)) {
      int i = n - 1;
      while (i >= 0 && digits[i] == '9') digits[i--] = '0';
      if (i < 0) {
        digits = "1" + std::string(n - 1, '0');
        ++point;
      } else {
        ++digits[i];
      }
    }
  }
  int s = n;
  while (s > 1 && digits[s - 1] == '0') --s;
  std::string body;
  if (s <= point && point <= n) {
    body = digits.substr(0, s) + std::string(point - s, '0');
  } else if (point > 0 && point < s) {
    body = digits.substr(0, point) + "." + digits.substr(point, s - point);
  } else if (point <= 0 && s - point <= n) {
    body = "." + std::string(-point, '0') + digits.substr(0, s);
  } else {
    body = digits.substr(0, 1) + (s > 1 ? "." + digits.substr(1, s - 1) : "") + "E" +
           (point - 1 < 0 ? "-" : "+") + std::to_string(std::abs(point - 1));
  }
  return (std::signbit(value) ? "-" : " ") + body + end;
}

}  // namespace tavimo
