#pragma once
// A number's string form (15 significant digits, as NumberString makes it)
// held in a buffer on the stack: the writers format millions of
// coordinates and should not allocate for each.

#include <cstddef>
#include <string_view>

#include "textout/number_text.h"

namespace tavimo {

class NumberField {
 public:
  explicit NumberField(long double value) : size_(FormatNumber(text_, value, 15, false)) {}

  std::string_view text() const { return {text_, size_}; }
  // Without the blank of a non-negative number, as TrimLeadingBlanks gives it.
  std::string_view trimmed() const {
    std::string_view t = text();
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    return t;
  }

 private:
  char text_[kMaxNumberText];
  std::size_t size_;
};

}  // namespace tavimo
