#include "preview/pixel_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>

namespace tavimo {
namespace {

using Pixel = std::pair<int, int>;  // column, row from the upper left

constexpr Rgb kRed{255, 0, 0};

// A surface set up as the dialog does: (0, H) upper left, (W, 0) lower right.
struct Surface {
  PixelSurface s;
  Surface(int w, int h) : s(w, h, kPreviewWhite) {
    s.SetScale(0, h, w, 0);
    s.SetDrawingColour(kPreviewBlue);
  }
  void Line(long double x1, long double y1, long double x2, long double y2) {
    s.MoveTo(x1, y1);
    s.LineTo(x2, y2);
  }
  std::set<Pixel> Drawn() const {
    std::set<Pixel> out;
    for (int y = 0; y < s.ClientHeight(); ++y)
      for (int x = 0; x < s.ClientWidth(); ++x)
        if (s.At(x, y) != kPreviewWhite) out.insert({x, y});
    return out;
  }
};

std::set<Pixel> Row(int row, int fromColumn, int toColumn) {
  std::set<Pixel> out;
  for (int c = fromColumn; c <= toColumn; ++c) out.insert({c, row});
  return out;
}

std::set<Pixel> Column(int column, int fromRow, int toRow) {
  std::set<Pixel> out;
  for (int r = fromRow; r <= toRow; ++r) out.insert({column, r});
  return out;
}

// --- where a point lands --------------------------------------------------

TEST(PixelSurfacePoints, ColumnIsRoundXRowIsHeightMinusRoundY) {
  Surface t(60, 41);
  t.Line(7, 3, 7, 9);  // column 7, rows 41-3 = 38 up to 33 (row 32 excluded)
  EXPECT_EQ(t.Drawn(), Column(7, 33, 38));
}

TEST(PixelSurfacePoints, HalvesRoundToEven) {
  Surface t(60, 41);
  t.Line(12.5, 20.5, 12.5, 25);  // column 12, y 20.5 -> 20
  t.Line(13.5, 10.5, 13.5, 15);  // column 14, y 10.5 -> 10
  std::set<Pixel> expected = Column(12, 41 - 24, 41 - 20);
  expected.merge(Column(14, 41 - 14, 41 - 10));
  EXPECT_EQ(t.Drawn(), expected);
}

TEST(PixelSurfacePoints, RowOfHeightMinusRoundYWithOddHeight) {
  // 41 - round(2.5) = 39, while round(41 - 2.5) would be 38.
  Surface t(20, 41);
  t.Line(1, 2.5, 6, 2.5);
  EXPECT_EQ(t.Drawn(), Row(39, 1, 5));
}

TEST(PixelSurfacePoints, YZeroIsBelowTheLastRowAndYHeightIsTheFirst) {
  Surface t(30, 20);
  t.Line(0, 0, 30, 0);
  EXPECT_TRUE(t.Drawn().empty());
  t.Line(0, 20, 30, 20);
  EXPECT_EQ(t.Drawn(), Row(0, 0, 29));
}

TEST(PixelSurfacePoints, OtherScaleMapsTheCornersToTheEdges) {
  PixelSurface s(40, 30, kPreviewWhite);
  s.SetScale(-100, 50, 100, -100);  // 200 x 150 units on 40 x 30 pixels
  s.SetDrawingColour(kPreviewBlue);
  s.MoveTo(-100, 0);
  s.LineTo(100, 0);  // v = 100 / 5 = 20 -> row 10
  for (int c = 0; c < 40; ++c) EXPECT_EQ(s.At(c, 10), kPreviewBlue) << c;
  EXPECT_EQ(s.At(0, 9), kPreviewWhite);
  EXPECT_EQ(s.At(0, 11), kPreviewWhite);
}

// --- lines -----------------------------------------------------------------

TEST(PixelSurfaceLines, EndPixelIsExcludedInEveryDirection) {
  Surface t(40, 40);
  t.Line(10, 10, 20, 10);
  EXPECT_EQ(t.Drawn(), Row(30, 10, 19));

  Surface back(40, 40);
  back.Line(20, 10, 10, 10);
  EXPECT_EQ(back.Drawn(), Row(30, 11, 20));

  Surface down(40, 40);
  down.Line(5, 30, 5, 20);
  EXPECT_EQ(down.Drawn(), Column(5, 10, 19));
}

TEST(PixelSurfaceLines, LineWithinOnePixelDrawsNothing) {
  Surface t(40, 40);
  t.Line(10.2, 10.4, 9.6, 9.7);
  EXPECT_TRUE(t.Drawn().empty());
}

TEST(PixelSurfaceLines, EndBecomesCurrentPoint) {
  Surface t(40, 40);
  t.s.MoveTo(10, 10);
  t.s.LineTo(20, 10);
  t.s.LineTo(20, 15);  // draws the corner pixel the first line left out
  std::set<Pixel> expected = Row(30, 10, 19);
  expected.merge(Column(20, 26, 30));
  EXPECT_EQ(t.Drawn(), expected);
}

TEST(PixelSurfaceLines, DiagonalIsOnePixelPerStepWithinHalfAPixel) {
  Surface t(100, 100);
  t.Line(10, 20, 70, 40);  // slope 1/3: one pixel per column 10..69
  const auto drawn = t.Drawn();
  EXPECT_EQ(drawn.size(), 60u);
  std::set<int> columns;
  for (auto [c, r] : drawn) {
    columns.insert(c);
    const long double ideal = 20 + (c - 10) / 3.0L;
    EXPECT_LE(std::fabs((100 - r) - ideal), 0.5L) << c;
  }
  EXPECT_EQ(columns.size(), 60u);
  EXPECT_EQ(*columns.begin(), 10);
  EXPECT_EQ(*columns.rbegin(), 69);
}

// A line partly outside the buffer must show exactly the part of the same
// line that a larger buffer, holding it whole, shows in the same window.
// The shifts are even so that rounding halves to even is not disturbed.
TEST(PixelSurfaceLines, ClippedLineMatchesTheUnclippedLine) {
  constexpr int kW = 40, kH = 30, kBigW = 400, kBigH = 300, kDx = 180, kDy = 134;
  std::uint32_t seed = 12345;
  auto next = [&seed](int range) {  // quarter units in -range/2 .. range/2
    seed = seed * 1664525u + 1013904223u;
    return static_cast<long double>(static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(range * 4)) -
                                    range * 2) / 4;
  };
  for (int n = 0; n < 400; ++n) {
    const long double x1 = 20 + next(360), y1 = 15 + next(260);
    const long double x2 = 20 + next(360), y2 = 15 + next(260);
    Surface small(kW, kH);
    small.Line(x1, y1, x2, y2);
    Surface big(kBigW, kBigH);
    big.Line(x1 + kDx, y1 + kDy, x2 + kDx, y2 + kDy);
    std::set<Pixel> window;
    for (auto [c, r] : big.Drawn()) {
      const int sc = c - kDx, sr = r - (kBigH - kDy - kH);
      if (sc >= 0 && sc < kW && sr >= 0 && sr < kH) window.insert({sc, sr});
    }
    ASSERT_EQ(small.Drawn(), window) << "(" << static_cast<double>(x1) << ", " << static_cast<double>(y1)
                                     << ") - (" << static_cast<double>(x2) << ", "
                                     << static_cast<double>(y2) << ")";
  }
}

// --- coordinates far outside -------------------------------------------------

TEST(PixelSurfaceFar, HugeDiagonalSetsExactlyTheVisibleDiagonal) {
  constexpr int kW = 660, kH = 406;
  Surface t(kW, kH);
  t.Line(-1e30L, -1e30L, 1e30L, 1e30L);
  std::set<Pixel> expected;
  for (int i = 1; i <= kH; ++i) expected.insert({i, kH - i});  // y = 0 is off the bottom
  EXPECT_EQ(t.Drawn(), expected);
}

TEST(PixelSurfaceFar, HugeHorizontalCoversTheRow) {
  Surface t(660, 406);
  t.Line(1e30L, 100, -1e30L, 100);
  EXPECT_EQ(t.Drawn(), Row(306, 0, 659));
}

TEST(PixelSurfaceFar, FromInsideToFarAwayStaysOnTheLine) {
  constexpr int kW = 660, kH = 406;
  Surface t(kW, kH);
  t.Line(10, 20, 10 + 2e30L, 20 + 1e30L);  // slope 1/2
  const auto drawn = t.Drawn();
  std::set<int> columns;
  for (auto [c, r] : drawn) {
    columns.insert(c);
    EXPECT_LE(std::fabs((kH - r) - (20 + (c - 10) / 2.0L)), 0.5L + 1e-9L) << c;
  }
  EXPECT_EQ(drawn.size(), static_cast<std::size_t>(kW - 10));
  EXPECT_EQ(columns.size(), static_cast<std::size_t>(kW - 10));
  EXPECT_TRUE(drawn.count({10, kH - 20}));
}

TEST(PixelSurfaceFar, BothEndsFarWithSlopeStaysOnTheLine) {
  constexpr int kW = 300, kH = 200;
  Surface t(kW, kH);
  // y = x / 2 + 50, both ends far outside and exactly on that line.
  const long double far = std::ldexp(1.0L, 62);
  t.Line(-far, -far / 2 + 50, std::ldexp(1.0L, 40), std::ldexp(1.0L, 39) + 50);
  const auto drawn = t.Drawn();
  std::set<int> columns;
  for (auto [c, r] : drawn) {
    columns.insert(c);
    EXPECT_LE(std::fabs((kH - r) - (c / 2.0L + 50)), 0.5L + 1e-9L) << c;
  }
  EXPECT_EQ(drawn.size(), static_cast<std::size_t>(kW));
  EXPECT_EQ(columns.size(), static_cast<std::size_t>(kW));
}

TEST(PixelSurfaceFar, ExtremeMagnitudesNeedManyHalvingsAndStillFinish) {
  Surface t(200, 100);
  // The midpoint stays far to the left for thousands of halvings.
  t.Line(-1e4000L, 40, 1e30L, 40);
  EXPECT_EQ(t.Drawn(), Row(60, 0, 199));
}

TEST(PixelSurfaceFar, InfinityAndNanDrawNothingHarmful) {
  constexpr long double inf = std::numeric_limits<long double>::infinity();
  constexpr long double nan = std::numeric_limits<long double>::quiet_NaN();
  Surface t(100, 50);
  t.Line(10, 5, inf, 5);  // a ray to the right
  EXPECT_EQ(t.Drawn(), Row(45, 10, 99));

  Surface n(100, 50);
  n.Line(10, 5, nan, 5);
  n.s.LineTo(20, 20);  // from the NaN current point: nothing
  n.Line(-inf, -inf, nan, inf);
  EXPECT_TRUE(n.Drawn().empty());
  n.Line(-inf, -inf, inf, inf);  // the diagonal through the origin
  EXPECT_EQ(n.Drawn().size(), 50u);
}

TEST(PixelSurfaceFar, FarLineMissingTheSurfaceDrawsNothing) {
  Surface t(660, 406);
  t.Line(-1e30L, 1e30L, 1e30L, -1e30L);  // through (0, 0): y = 0 is off the bottom
  t.Line(-1e30L, 1e30L, 1e30L, 1e30L + 1e20L);
  t.Line(-1e300L, 500, 1e300L, 500);
  EXPECT_TRUE(t.Drawn().empty());
}

// --- state ---------------------------------------------------------------------

TEST(PixelSurfaceState, RepeatingALineInAnotherColourOrAfterClearRedraws) {
  Surface t(20, 20);
  t.Line(2, 10, 12, 10);
  t.s.SetDrawingColour(kRed);
  t.Line(2, 10, 12, 10);
  EXPECT_EQ(t.s.At(2, 10), kRed);
  t.s.SetBackgroundColour(kPreviewWhite);
  t.s.Clear();
  EXPECT_TRUE(t.Drawn().empty());
  t.Line(2, 10, 12, 10);
  EXPECT_EQ(t.s.At(11, 10), kRed);
}

TEST(PixelSurfaceState, BufferedShowsOnlyOnRedrawUnbufferedAfterEachChange) {
  PixelSurface s(20, 20);
  s.SetScale(0, 20, 20, 0);
  int shown = 0;
  s.SetRedrawHandler([&] { ++shown; });
  s.Attach(true);
  s.Clear();
  s.MoveTo(1, 1);
  s.LineTo(10, 1);
  EXPECT_EQ(shown, 0);
  s.Redraw();
  EXPECT_EQ(shown, 1);

  s.Attach(false);
  s.Clear();
  s.MoveTo(1, 5);
  s.LineTo(10, 5);
  EXPECT_EQ(shown, 3);
}

}  // namespace
}  // namespace tavimo
