#include "dialog/dialog_units.h"

#include <gtest/gtest.h>

namespace tavimo::dialog {
namespace {

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
  struct Case {
    int a, b, c, expected;
  };
  const Case cases[] = {
      {8, 6, 4, 12},                   // exact
      {1, 6, 4, 2},                    // 1.5 up
      {5, 2, 4, 3},                    // 2.5 up, not to even
      {5, 13, 8, 8},                   // 8.125
      {3, 13, 8, 5},                   // 4.875
      {-1, 6, 4, -2},                  // negative half
      {2000000000, 4, 8, 1000000000},  // no overflow
      {5, 5, 0, -1},                   // divide by zero
  };
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
}

TEST(DialogUnits, BaseUnitsFromLetterWidth) {
  struct Case {
    int lettersWidth, expectedX;
  };
  // Average letter width 5.5 -> 6; 5.4 -> 5; 6.79 (DejaVu Sans 11 px) -> 7.
  const Case cases[] = {{286, 6}, {281, 5}, {353, 7}, {337, 6}, {338, 7}};
  for (const Case& c : cases) {
    const DialogBaseUnits units = DialogBaseUnits::FromMetrics(c.lettersWidth, 13);
    EXPECT_EQ(units.x, c.expectedX) << c.lettersWidth;
    EXPECT_EQ(units.y, 13);
  }
}

}  // namespace
}  // namespace tavimo::dialog
