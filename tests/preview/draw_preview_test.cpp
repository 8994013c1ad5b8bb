#include "preview/draw_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "preview/pixel_surface.h"

namespace tavimo {
namespace {

using Pixel = std::pair<int, int>;  // column, row from the upper left

constexpr Rgb kButtonFace{240, 240, 240};

// The preview control as the dialog sets it up, logging its redraws.
struct Preview {
  int w, h;
  PixelSurface surface;
  std::vector<std::string> log;

  Preview(int width, int height) : w(width), h(height), surface(width, height, kButtonFace) {
    surface.SetScale(0, height, width, 0);
    surface.SetRedrawHandler([this] { log.push_back("Redraw"); });
  }
  bool Draw(const CellBlock& spec, Progress* progress = nullptr) {
    return DrawPreview(surface, spec, progress);
  }
  std::set<Pixel> Blue() const {
    std::set<Pixel> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (surface.At(x, y) == kPreviewBlue) out.insert({x, y});
    return out;
  }
  bool AllWhite() const {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (surface.At(x, y) != kPreviewWhite) return false;
    return true;
  }
};

long double Round(long double v) { return std::nearbyintl(v); }

// Scale and centring worked out from the surface and an axis-parallel box.
struct Frame {
  long double scale, left, bottom;
};

Frame Centred(int w, int h, long double boxWidth, long double boxHeight) {
  const float inf = std::numeric_limits<float>::infinity();
  const float fitX = boxWidth == 0 ? inf : static_cast<float>(w / boxWidth);
  const float fitY = boxHeight == 0 ? inf : static_cast<float>(h / boxHeight);
  const float scale = std::min(fitX, fitY) * 0.9f;
  return {scale, Round((w - Round(scale * boxWidth)) / 2), Round((h - Round(scale * boxHeight)) / 2)};
}

// The pixels of an unturned block drawn with the frame, line by line as
// vertical and horizontal runs (each run without its end pixel).
std::set<Pixel> UnturnedGrid(int w, int h, const BlockSpec& b, const Frame& f) {
  std::set<Pixel> out;
  auto put = [&](long double c, long double r) {
    if (c >= 0 && c < w && r >= 0 && r < h) out.insert({static_cast<int>(c), static_cast<int>(r)});
  };
  const long double top = h - Round(f.bottom + b.heightTotal * f.scale);
  const long double bottom = h - Round(f.bottom);
  for (int i = 0; i <= b.widthTotal / b.widthCell; ++i) {
    const long double c = Round(f.left + (b.widthCell * i) * f.scale);
    for (long double r = bottom; r > top; --r) put(c, r);
  }
  const long double left = Round(f.left);
  const long double right = Round(f.left + b.widthTotal * f.scale);
  for (int j = 0; j <= b.heightTotal / b.heightCell; ++j) {
    const long double r = h - Round(f.bottom + (b.heightCell * j) * f.scale);
    for (long double c = left; c < right; ++c) put(c, r);
  }
  return out;
}

std::set<int> BlueColumnsInRow(const Preview& p, int row) {
  std::set<int> out;
  for (int x = 0; x < p.w; ++x)
    if (p.surface.At(x, row) == kPreviewBlue) out.insert(x);
  return out;
}

std::set<int> BlueRowsInColumn(const Preview& p, int column) {
  std::set<int> out;
  for (int y = 0; y < p.h; ++y)
    if (p.surface.At(column, y) == kPreviewBlue) out.insert(y);
  return out;
}

struct Extent {
  int left = std::numeric_limits<int>::max(), right = -1;
  int top = std::numeric_limits<int>::max(), bottom = -1;
};

Extent ExtentOf(const std::set<Pixel>& pixels) {
  Extent e;
  for (auto [c, r] : pixels) {
    e.left = std::min(e.left, c);
    e.right = std::max(e.right, c);
    e.top = std::min(e.top, r);
    e.bottom = std::max(e.bottom, r);
  }
  return e;
}

const BlockSpec kDefaultBlock{10, 10, 50, 50, 5, 5, 0};

// --- the unturned block ------------------------------------------------------

TEST(DrawPreviewUnturned, DefaultBlockFillsNineTenthsOfTheHeightCentred) {
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(kDefaultBlock));
  // 406 / 50 -> 8.12f, times 0.9f: 365.4 pixels; margins (660 - 365) / 2 =
  // 147.5 -> 148 and (406 - 365) / 2 = 20.5 -> 20.
  const Frame f = Centred(660, 406, 50, 50);
  EXPECT_EQ(f.left, 148);
  EXPECT_EQ(f.bottom, 20);
  EXPECT_EQ(Round(f.scale * 50), 365);
  EXPECT_EQ(p.Blue(), UnturnedGrid(660, 406, kDefaultBlock, f));

  // The starting point is the lower-left corner of the drawn square.
  EXPECT_EQ(p.surface.At(148, 406 - 20), kPreviewBlue);
  const Extent e = ExtentOf(p.Blue());
  EXPECT_EQ(e.left, 148);
  EXPECT_EQ(e.bottom, 386);
  // 365.4 pixels drawn from margins rounded for 365: right 146, top 19.
  EXPECT_EQ(659 - e.right, 146);
  EXPECT_EQ(e.top, 21);

  // 11 vertical and 11 horizontal lines.
  const int betweenRows = 406 - static_cast<int>(Round(20 + 2.5L * f.scale));
  const int betweenColumns = static_cast<int>(Round(148 + 2.5L * f.scale));
  EXPECT_EQ(BlueColumnsInRow(p, betweenRows).size(), 11u);
  EXPECT_EQ(BlueRowsInColumn(p, betweenColumns).size(), 11u);
}

TEST(DrawPreviewUnturned, OddSurfaceSize) {
  Preview p(301, 211);
  ASSERT_TRUE(p.Draw(kDefaultBlock));
  const Frame f = Centred(301, 211, 50, 50);
  EXPECT_EQ(p.Blue(), UnturnedGrid(301, 211, kDefaultBlock, f));
}

TEST(DrawPreviewUnturned, WideBlockIsLimitedByTheWidthAndCentredVertically) {
  const BlockSpec wide{-40, 7.5L, 200, 20, 20, 5, 0};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(wide));
  const Frame f = Centred(660, 406, 200, 20);
  EXPECT_EQ(p.Blue(), UnturnedGrid(660, 406, wide, f));
  const Extent e = ExtentOf(p.Blue());
  EXPECT_NEAR(e.left, 33, 1);  // a twentieth of 660 each side
  EXPECT_NEAR(659 - e.right, 33, 1);
  EXPECT_LE(std::abs(e.top - (405 - e.bottom)), 1);
}

TEST(DrawPreviewUnturned, ThousandsOfLinesOnFewPixelsLoseNone) {
  const BlockSpec dense{3, -8, 1500, 1000, 1, 1, 0};  // several lines per pixel
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(dense));
  EXPECT_EQ(p.Blue(), UnturnedGrid(660, 406, dense, Centred(660, 406, 1500, 1000)));
}

TEST(DrawPreviewUnturned, HalfPixelMarginsRoundToEven) {
  // 250 wide: 0.9 x 250 = 225 drawn, margin 12.5 -> 12.
  Preview even(250, 301);
  ASSERT_TRUE(even.Draw(kDefaultBlock));
  EXPECT_EQ(ExtentOf(even.Blue()).left, 12);
  // 270 wide: 243 drawn, margin 13.5 -> 14.
  Preview odd(270, 301);
  ASSERT_TRUE(odd.Draw(kDefaultBlock));
  EXPECT_EQ(ExtentOf(odd.Blue()).left, 14);
}

TEST(DrawPreviewUnturned, ZeroWidthDrawsOneVerticalLineInTheMiddle) {
  const BlockSpec spec{10, 10, 0, 50, 5, 5, 0};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(spec));
  // The scale comes from the height alone: 365.4 pixels from y 20.
  std::set<Pixel> expected;
  for (int r = 406 - 385 + 1; r <= 406 - 20; ++r) expected.insert({330, r});
  EXPECT_EQ(p.Blue(), expected);
  EXPECT_EQ(p.log, (std::vector<std::string>{"Redraw"}));
}

TEST(DrawPreviewUnturned, CounterClockwiseZeroLooksLikeClockwiseZero) {
  Preview clockwise(660, 406);
  Preview counter(660, 406);
  ASSERT_TRUE(clockwise.Draw(kDefaultBlock));
  BlockSpec spec = kDefaultBlock;
  spec.angle = 360;
  ASSERT_TRUE(counter.Draw(spec));
  EXPECT_EQ(counter.surface.pixels(), clockwise.surface.pixels());
}

// --- turned blocks ---------------------------------------------------------------

TEST(DrawPreviewTurned, Clockwise90StartsAtTheTopLeftCorner) {
  const BlockSpec spec{10, 10, 50, 30, 5, 5, 90};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(spec));
  // The box is heightTotal wide and widthTotal high.
  const Frame f = Centred(660, 406, 30, 50);
  const long double startRow = 406 - Round(f.bottom + f.scale * 50);
  EXPECT_EQ(f.left, 220);
  EXPECT_EQ(startRow, 21);

  // The width axis points down: 11 horizontal column lines from the start,
  // 7 vertical row lines.
  const long double originY = Round(f.bottom + f.scale * 50);
  std::set<Pixel> expected;
  for (int i = 0; i <= 10; ++i) {
    const long double r = 406 - Round(originY - 5 * i * f.scale);
    for (long double c = f.left; c < Round(f.left + 30 * f.scale); ++c)
      expected.insert({static_cast<int>(c), static_cast<int>(r)});
  }
  for (int j = 0; j <= 6; ++j) {
    const long double c = Round(f.left + 5 * j * f.scale);
    for (long double r = startRow; r < 406 - Round(originY - 50 * f.scale); ++r)
      expected.insert({static_cast<int>(c), static_cast<int>(r)});
  }
  EXPECT_EQ(p.Blue(), expected);
  const Extent e = ExtentOf(p.Blue());
  EXPECT_EQ(e.left, 220);
  EXPECT_EQ(e.top, 21);
  EXPECT_EQ(p.surface.At(220, 21), kPreviewBlue);
}

TEST(DrawPreviewTurned, CounterClockwise30StartsOnTheBottomEdge) {
  const BlockSpec spec{10, 10, 50, 50, 5, 5, 330};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(spec));
  // Box 50 cos 30 + 50 sin 30 = 68.3 -> 68 both ways.
  const Frame f = Centred(660, 406, 68, 68);
  const long double startColumn = Round(f.left + 50 * 0.5L * f.scale);
  const int bottomRow = 406 - static_cast<int>(f.bottom);
  EXPECT_EQ(startColumn, 282);
  EXPECT_EQ(p.surface.At(static_cast<int>(startColumn), bottomRow), kPreviewBlue);

  const auto blue = p.Blue();
  const Extent e = ExtentOf(blue);
  EXPECT_EQ(e.bottom, bottomRow);  // nothing below the starting point
  for (int c : BlueColumnsInRow(p, bottomRow)) EXPECT_LE(std::abs(c - startColumn), 1);
  // The other corners: left at -25 scale, right at +43.3 scale, top at 68.3 scale.
  const long double cos30 = std::sqrt(3.0L) / 2;
  EXPECT_NEAR(e.left, startColumn - 25 * f.scale, 1.5);
  EXPECT_NEAR(e.right, startColumn + 50 * cos30 * f.scale, 1.5);
  EXPECT_NEAR(e.top, bottomRow - (25 + 50 * cos30) * f.scale, 1.5);
}

// A baseline may point anywhere: the box is the block's, wherever the
// starting point lies in it. Turned half round, the square block covers
// the same pixels as unturned, give or take the rounding of the turn.
TEST(DrawPreviewTurned, ABaselineBackwardsDrawsTheSameSquare) {
  Preview unturned(660, 406), backwards(660, 406);
  ASSERT_TRUE(unturned.Draw(kDefaultBlock));
  CellBlock block(kDefaultBlock);
  block.startX = block.startY = 60;
  block.turn = Turn::Vector(-7, 0);
  ASSERT_TRUE(backwards.Draw(block));
  const Extent a = ExtentOf(unturned.Blue()), b = ExtentOf(backwards.Blue());
  EXPECT_NEAR(a.left, b.left, 1);
  EXPECT_NEAR(a.right, b.right, 1);
  EXPECT_NEAR(a.top, b.top, 1);
  EXPECT_NEAR(a.bottom, b.bottom, 1);
  EXPECT_GT(backwards.Blue().size(), unturned.Blue().size() * 9 / 10);
}

TEST(DrawPreviewTurned, HugeBlockBeyond32BitBoxStillFitsAndCentres) {
  // At 45 degrees the box is about 3.04e9 units, more than a 32-bit int holds.
  const BlockSpec spec{0, 0, 2147483640, 2147483640, 214748364, 214748364, 45};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(spec));
  const Extent e = ExtentOf(p.Blue());
  EXPECT_NEAR(e.bottom - e.top, 0.9 * 406, 2);
  EXPECT_NEAR(e.right - e.left, 0.9 * 406, 2);
  EXPECT_LE(std::abs(e.left - (659 - e.right)), 2);
  EXPECT_LE(std::abs(e.top - (405 - e.bottom)), 2);
}

// --- the cost of a preview ---------------------------------------------------

// Counts the lines handed to the surface.
struct CountingSurface : PixelSurface {
  using PixelSurface::PixelSurface;
  void LineTo(long double x, long double y) override {
    ++lines;
    PixelSurface::LineTo(x, y);
  }
  std::uint64_t lines = 0;
};

TEST(DrawPreviewCost, AtMostOneLinePerPixelAcrossWhateverTheBlock) {
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  const BlockSpec blocks[] = {
      {10, 10, 100000000, 1, 1, 1, 0},  // 10^8 column lines on 660 pixel columns
      {0, 0, most, most, 1, 1, 37},
      {0, 0, most, most, 1, 1, 323},
      {0, 0, -2140000000, most, -1, 1, 45},  // lines reaching far beyond the surface
  };
  for (const BlockSpec& spec : blocks) {
    CountingSurface surface(660, 406);
    surface.SetScale(0, 406, 660, 0);
    ASSERT_TRUE(DrawPreview(surface, spec));
    EXPECT_GT(surface.lines, 0u);
    // Each family steps across at most the surface's width and height, in
    // two coordinates for each end.
    EXPECT_LE(surface.lines, 2u * 4 * (660 + 406)) << spec.widthTotal << " at " << spec.angle;
  }
}

// --- the surface ---------------------------------------------------------------

TEST(DrawPreviewEffects, RedrawsOnceAndErasesTheInitialFill) {
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(kDefaultBlock));
  EXPECT_EQ(p.log, (std::vector<std::string>{"Redraw"}));
  // The initial fill is gone: every pixel is blue or white.
  for (std::uint32_t px : p.surface.pixels()) EXPECT_TRUE(px == 0x0000FFu || px == 0xFFFFFFu);
}

TEST(DrawPreviewEffects, SecondPreviewErasesTheFirst) {
  const BlockSpec second{0, 0, 30, 20, 10, 10, 20};
  Preview p(660, 406);
  ASSERT_TRUE(p.Draw(kDefaultBlock));
  ASSERT_TRUE(p.Draw(second));
  Preview fresh(660, 406);
  ASSERT_TRUE(fresh.Draw(second));
  EXPECT_EQ(p.surface.pixels(), fresh.surface.pixels());
}

TEST(DrawPreviewEffects, EmptyOrNegativeBoxClearsDrawsNothingAndCompletes) {
  const BlockSpec cases[] = {
      {10, 10, 0, 0, 5, 5, 0},        // both sides 0
      {10, 10, -50, 50, -5, 5, 0},    // negative width
      {10, 10, 50, -50, 5, -5, 330},  // negative height
      {10, 10, 50, 50, 5, 5, 180},    // an angle no turn is drawn for
      {10, 10, 0, 0, 0, 0, 45},
  };
  for (const BlockSpec& spec : cases) {
    Preview p(660, 406);
    ASSERT_TRUE(p.Draw(kDefaultBlock));
    p.log.clear();
    EXPECT_TRUE(p.Draw(spec));
    EXPECT_TRUE(p.AllWhite()) << spec.widthTotal << " x " << spec.heightTotal << " at " << spec.angle;
    EXPECT_EQ(p.log, (std::vector<std::string>{"Redraw"}));
  }
}

class ScriptedProgress : public Progress {
 public:
  explicit ScriptedProgress(int answerTrueTimes) : left_(answerTrueTimes) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    calls.push_back({done, total});
    return left_-- > 0;
  }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;

 private:
  int left_;
};

const BlockSpec kManyLines{0, 0, 60000, 60000, 1, 1, 0};  // 120002 lines

TEST(DrawPreviewProgress, ReportsAsItGoesAndFinishes) {
  Preview p(660, 406);
  ScriptedProgress progress(1000);
  EXPECT_TRUE(p.Draw(kManyLines, &progress));
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_LE(progress.calls.size(), 120002u / 1000);
  std::uint64_t previous = 0;
  for (auto [done, total] : progress.calls) {
    EXPECT_EQ(total, 120002u);
    EXPECT_GT(done, previous);
    EXPECT_LE(done, total);
    previous = done;
  }
  EXPECT_EQ(p.log, (std::vector<std::string>{"Redraw"}));
  Preview plain(660, 406);
  ASSERT_TRUE(plain.Draw(kManyLines));
  EXPECT_EQ(p.surface.pixels(), plain.surface.pixels());
}

TEST(DrawPreviewProgress, CancelStopsAndShowsThePart) {
  Preview p(660, 406);
  ScriptedProgress progress(0);
  EXPECT_FALSE(p.Draw(kManyLines, &progress));
  EXPECT_EQ(progress.calls.size(), 1u);
  EXPECT_EQ(p.log, (std::vector<std::string>{"Redraw"}));
  // Some of the first column lines, none of the row lines.
  const auto blue = p.Blue();
  EXPECT_FALSE(blue.empty());
  Preview full(660, 406);
  ASSERT_TRUE(full.Draw(kManyLines));
  EXPECT_LT(blue.size(), full.Blue().size());
  const int middleRow = 203;
  EXPECT_LT(BlueColumnsInRow(p, middleRow).size(), BlueColumnsInRow(full, middleRow).size());
}

}  // namespace
}  // namespace tavimo
