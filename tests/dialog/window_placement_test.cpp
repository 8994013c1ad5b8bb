#include "dialog/window_placement.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavimo::dialog {
namespace {

TEST(WindowPlacement, PlaceInsideMovesAsLittleAsPossible) {
  struct Case {
    const char* name;
    Rect frame, available;
    Point expected;
  };
  const Rect screen{0, 0, 1366, 768};
  const Case cases[] = {
      {"fits: stays", {347, 100, 811, 551}, screen, {347, 100}},
      {"touches the edges", {555, 217, 811, 551}, screen, {555, 217}},
      {"off right and bottom", {347, 239, 811, 551}, screen, {347, 217}},
      {"125 per cent", {347, 239, 811, 551}, {0, 0, 1093, 614}, {282, 63}},
      {"panel at the top", {10, 5, 100, 100}, {0, 27, 1366, 741}, {10, 27}},
      {"second screen", {1900, 10, 100, 100}, {1366, 0, 600, 400}, {1866, 10}},
      // Larger than the screen: the top-left corner (title bar, menu) stays on it.
      {"too big", {347, 239, 1200, 900}, {0, 0, 1024, 600}, {0, 0}},
      {"too big, off left", {-50, -20, 1200, 900}, {0, 0, 1024, 600}, {0, 0}},
  };
  for (const Case& c : cases) {
    const Point p = PlaceInside(c.frame, c.available);
    EXPECT_EQ(p, c.expected) << c.name << ": " << p.x << ", " << p.y;
  }
}

TEST(WindowPlacement, SurelyOnScreenLeavesOutWhatRoundingMayPushOff) {
  struct Case {
    double scale;
    int lost;
  };
  // At 125 %, 1366 device pixels are 1092.8 logical ones, shown as 1093.
  const Case cases[] = {{1.0, 0}, {2.0, 0}, {1.25, 2}, {1.5, 2}, {0.75, 2}, {0.5, 3}};
  const Rect available{0, 27, 1093, 587};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    const Rect sure = SurelyOnScreen(available, c.scale);
    EXPECT_EQ(sure, (Rect{0, 27, 1093 - c.lost, 587 - c.lost}));
    if (c.lost == 0) continue;
    // The worst case of the rounding: the last logical pixel's device edge.
    const int deviceWidth = static_cast<int>(std::ceil((available.width - 0.5) * c.scale));
    for (int width = 1; width < sure.width; width += 37) {
      const int x = sure.x + sure.width - width;
      EXPECT_LE(std::lround(x * c.scale) + std::lround(width * c.scale), deviceWidth) << width;
    }
  }
}

}  // namespace
}  // namespace tavimo::dialog
