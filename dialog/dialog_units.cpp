#include "dialog/dialog_units.h"

#include <cstdint>
#include <cstdlib>

namespace tavimo::dialog {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
  const bool negative = (product < 0) != (c < 0);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits DialogBaseUnits::FromMetrics(int lettersWidth, int fontHeight) {
  // Half the width of two letters, rounded: integer steps as in a native dialog.
  return {(lettersWidth / 26 + 1) / 2, fontHeight};
}

}  // namespace tavimo::dialog
