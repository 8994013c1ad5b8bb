// The preview draws a run of lines that land on the same pixels once. These
// tests hold it to the straightforward drawing of every grid line, pixel for
// pixel, on blocks chosen to stress the runs: dense, thin, turned both ways,
// reaching far beyond the surface, negative and empty.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "model/block_layout.h"
#include "model/rotate_point.h"
#include "preview/draw_preview.h"
#include "preview/pixel_surface.h"

namespace tavimo {
namespace {

long double Round(long double value) { return std::nearbyintl(value); }

// The preview as first written: every line walked and handed to the
// surface, the box and origin from RotatePointX and RotatePointY.
void DrawEveryLine(PixelSurface& surface, const BlockSpec& spec) {
  const std::int32_t a = spec.angle;
  const long double sx = spec.startX, sy = spec.startY, w = spec.widthTotal, h = spec.heightTotal;
  long double boxWidth = 0, boxHeight = 0;
  if (a < 91) {
    const long double x1 = RotatePointX(sx, sy, w, a, Axis::kHor), y1 = RotatePointY(sx, sy, w, a, Axis::kHor);
    boxWidth = Round(RotatePointX(x1, y1, h, a, Axis::kVer) - sx);
    boxHeight = Round(RotatePointY(sx, sy, h, a, Axis::kVer) - RotatePointY(sx, sy, w, a, Axis::kHor));
  } else if (a > 269) {
    boxWidth = Round(RotatePointX(sx, sy, w, a, Axis::kHor) - RotatePointX(sx, sy, h, a, Axis::kVer));
    const long double x1 = RotatePointX(sx, sy, w, a, Axis::kHor), y1 = RotatePointY(sx, sy, w, a, Axis::kHor);
    boxHeight = Round(RotatePointY(x1, y1, h, a, Axis::kVer) - sy);
  }
  const int sw = surface.ClientWidth(), sh = surface.ClientHeight();
  surface.Attach(true);
  surface.SetDrawingColour(kPreviewBlue);
  surface.SetBackgroundColour(kPreviewWhite);
  surface.Clear();
  if (!(boxWidth >= 0 && boxHeight >= 0 && !(boxWidth == 0 && boxHeight == 0))) return;
  const float inf = std::numeric_limits<float>::infinity();
  const float fitX = boxWidth == 0 ? inf : static_cast<float>(sw / boxWidth);
  const float fitY = boxHeight == 0 ? inf : static_cast<float>(sh / boxHeight);
  const long double s = 0.9f * (fitY <= fitX ? fitY : fitX);
  long double originX = Round((sw - Round(s * boxWidth)) / 2);
  long double originY = Round((sh - Round(s * boxHeight)) / 2);
  if (a < 91) originY = Round(originY + (sy - RotatePointY(sx, sy, s * w, a, Axis::kHor)));
  if (a > 269) originX = Round(originX + (sx - RotatePointX(sx, sy, s * h, a, Axis::kVer)));
  BlockLayout(spec).WalkGridLines([&](const GridLine& line) {
    surface.SetDrawingColour(kPreviewBlue);
    surface.MoveTo((line.startX - sx) * s + originX, (line.startY - sy) * s + originY);
    surface.LineTo((line.endX - sx) * s + originX, (line.endY - sy) * s + originY);
    return true;
  });
}

// Draws blocks both ways on two surfaces of one size and compares them.
class Compare {
 public:
  explicit Compare(int width = 660, int height = 406) : runs_(width, height), every_(width, height) {
    runs_.SetScale(0, height, width, 0);
    every_.SetScale(0, height, width, 0);
  }
  void Expect(const BlockSpec& b) {
    EXPECT_TRUE(DrawPreview(runs_, b));
    DrawEveryLine(every_, b);
    EXPECT_TRUE(runs_.pixels() == every_.pixels())
        << "start " << static_cast<double>(b.startX) << ", " << static_cast<double>(b.startY) << "; "
        << b.widthTotal << " x " << b.heightTotal << ", cells " << b.widthCell << " x " << b.heightCell
        << ", angle " << b.angle << " on " << runs_.ClientWidth() << " x " << runs_.ClientHeight();
  }

 private:
  PixelSurface runs_, every_;
};

// Both directions of turn: 0..90 clockwise, 270..360 counter-clockwise.
std::vector<std::int32_t> Angles(int step) {
  std::vector<std::int32_t> out;
  for (int a = 0; a <= 90; a += step) out.push_back(a);
  for (int a = 270; a <= 360; a += step) out.push_back(a);
  return out;
}

TEST(DrawPreviewIdentity, EveryAngleOfAnOrdinaryAndADenseBlock) {
  Compare dialogSize;
  for (std::int32_t a : Angles(1)) dialogSize.Expect({12.5L, -7.25L, 200, 130, 5, 2, a});
  // Several lines to a pixel, in both families.
  Compare small(240, 150);
  for (std::int32_t a : Angles(9)) small.Expect({-3, 8, 3000, 2000, 1, 1, a});
}

TEST(DrawPreviewIdentity, ThinAndLargeBlocks) {
  Compare dialogSize;
  for (std::int32_t a : {0, 30, 90, 300}) dialogSize.Expect({10, 10, 1000000, 1, 1, 1, a});
  for (std::int32_t a : {0, 89, 360}) dialogSize.Expect({-5, 2, 1, 100000, 1, 1, a});
  // Starting points whose coordinates round the cell positions.
  dialogSize.Expect({1e12L + 0.3L, -4e11L, 1000, 700, 1, 1, 23});
  dialogSize.Expect({3e17L, 1e17L, 2000, 2000, 1, 1, 41});
  // A quarter pixel per cell: every other line ends on an exact half pixel,
  // which rounds to the even side and so ends runs early or late.
  Compare(210, 150).Expect({0, 0, 756, 100, 1, 1, 0});
  Compare(150, 210).Expect({0, 0, 100, 756, 1, 1, 90});
  // About a million lines, each across the surface.
  Compare(120, 80).Expect({0, 0, 500000, 500000, 1, 1, 13});
}

TEST(DrawPreviewIdentity, NegativeAndEmptySizes) {
  const BlockSpec shapes[] = {
      {0, 0, -300, 400, -3, 2, 0},  {0, 0, 300, -400, 3, -2, 0},   {0, 0, -300, -400, -3, -2, 0},
      {0, 0, 300, 400, -3, 2, 0},   {0, 0, 0, 400, 5, 2, 0},       {0, 0, 300, 0, 3, 5, 0},
      {0, 0, 300, 400, 0, 2, 0},    {0, 0, 300, 400, 3, 0, 0},     {0, 0, 0, 0, 0, 0, 0},
      {0, 0, 300, 400, 300, 400, 0}, {7, 7, -1000, 1414, -1, 1, 0},
  };
  Compare dialogSize;
  for (BlockSpec spec : shapes) {
    for (std::int32_t a : Angles(15)) {
      spec.angle = a;
      dialogSize.Expect(spec);
    }
  }
}

// A negative width against a positive height leaves a small box while the
// lines reach millions of pixels beyond the surface, across it and past its
// corners; the runs off the surface are skipped without drawing.
TEST(DrawPreviewIdentity, LinesReachingFarBeyondTheSurface) {
  Compare small(200, 120);
  small.Expect({0, 0, -1000000, 1000100, -1, 1, 45});
  small.Expect({0, 0, 100070, -100000, 1, -1, 315});
  small.Expect({0, 0, -300000, 600000, -2, 3, 63});
  // Lines of some 2^24 pixels and more, which the surface clips, at a
  // thousand lines a family and at two million.
  small.Expect({0, 0, -2147466000, 2147483000, -2147466, 2147483, 45});
  small.Expect({0, 0, -2147466000, 2147483000, -1000, 2147483, 45});
}

TEST(DrawPreviewIdentity, RandomBlocksAndSurfaces) {
  std::mt19937_64 random(20261207);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const std::vector<std::int32_t> angles = Angles(1);
  for (int n = 0; n < 300; ++n) {
    BlockSpec spec;
    spec.startX = std::ldexp(static_cast<long double>(pick(-1000000, 1000000)), pick(-20, 40));
    spec.startY = std::ldexp(static_cast<long double>(pick(-1000000, 1000000)), pick(-20, 40));
    spec.widthCell = pick(-3, 40);
    spec.heightCell = pick(-3, 40);
    spec.widthTotal = spec.widthCell * pick(-2, 3000);
    spec.heightTotal = spec.heightCell * pick(-2, 3000);
    spec.angle = angles[static_cast<std::size_t>(pick(0, static_cast<int>(angles.size()) - 1))];
    Compare(pick(0, 300), pick(0, 200)).Expect(spec);
  }
}

}  // namespace
}  // namespace tavimo
