#include "preview/draw_preview.h"

#include <cmath>
#include <limits>
#include <optional>

#include "model/block_layout.h"
#include "model/rotate_point.h"

namespace tavimo {
namespace {

// How many lines are drawn between two progress reports.
constexpr std::uint64_t kLinesPerStep = 4096;

// Whole numbers are kept in long double: a block of any size gives a box and
// origin without integer overflow, and every value a 32-bit integer could
// hold is represented exactly.
long double Round(long double value) { return std::nearbyintl(value); }

// surface / box in single precision; an empty box side does not limit the fit.
float Fit(int surfaceSize, long double boxSize) {
  if (boxSize == 0) return std::numeric_limits<float>::infinity();
  return static_cast<float>(static_cast<long double>(surfaceSize) / boxSize);
}

// The pixels a line runs between, for lines whose ends are near enough to
// the surface to be drawn unclipped; nothing for any other line.
struct PixelEnds {
  long long x1, y1, x2, y2;
  bool operator==(const PixelEnds&) const = default;
};

std::optional<PixelEnds> PixelEndsOf(long double x1, long double y1, long double x2, long double y2) {
  constexpr long double kNear = 1048576.0L;  // 2^20 pixels
  if (!(std::fabs(x1) <= kNear && std::fabs(y1) <= kNear && std::fabs(x2) <= kNear && std::fabs(y2) <= kNear))
    return std::nullopt;
  // llrintl rounds halves to even in the default rounding mode.
  return PixelEnds{std::llrintl(x1), std::llrintl(y1), std::llrintl(x2), std::llrintl(y2)};
}

}  // namespace

bool DrawPreview(PreviewSurface& surface, const BlockSpec& spec, Progress* progress) {
  const std::int32_t a = spec.angle;
  const long double startX = spec.startX;
  const long double startY = spec.startY;
  const long double widthTotal = spec.widthTotal;
  const long double heightTotal = spec.heightTotal;

  // The turned block's axis-parallel bounding box, from absolute coordinates.
  long double boxWidth = 0;
  long double boxHeight = 0;
  if (a < 91) {
    // Clockwise: the starting point is the block's leftmost point.
    const long double x1 = RotatePointX(startX, startY, widthTotal, a, "hor");
    const long double y1 = RotatePointY(startX, startY, widthTotal, a, "hor");
    boxWidth = Round(RotatePointX(x1, y1, heightTotal, a, "ver") - startX);
    boxHeight = Round(RotatePointY(startX, startY, heightTotal, a, "ver") -
                      RotatePointY(startX, startY, widthTotal, a, "hor"));
  } else if (a > 269) {
    // Counter-clockwise: the starting point is the block's lowest point.
    boxWidth = Round(RotatePointX(startX, startY, widthTotal, a, "hor") -
                     RotatePointX(startX, startY, heightTotal, a, "ver"));
    const long double x1 = RotatePointX(startX, startY, widthTotal, a, "hor");
    const long double y1 = RotatePointY(startX, startY, widthTotal, a, "hor");
    boxHeight = Round(RotatePointY(x1, y1, heightTotal, a, "ver") - startY);
  }

  const int surfaceWidth = surface.ClientWidth();
  const int surfaceHeight = surface.ClientHeight();
  surface.Attach(true);
  surface.SetDrawingColour(kPreviewBlue);
  surface.SetBackgroundColour(kPreviewWhite);
  surface.Clear();

  // An empty or negative box cannot be fitted: the preview stays blank.
  // (NaN, from absurd starting points, fails the comparisons as well.)
  const bool fits = boxWidth >= 0 && boxHeight >= 0 && !(boxWidth == 0 && boxHeight == 0);
  bool finished = true;
  if (fits) {
    const float fitX = Fit(surfaceWidth, boxWidth);
    const float fitY = Fit(surfaceHeight, boxHeight);
    float scale = fitY <= fitX ? fitY : fitX;
    scale = 0.9f * scale;
    const long double s = scale;

    // Centre the drawn box, then move the origin to where the starting point
    // is drawn inside it.
    long double originX = Round((surfaceWidth - Round(s * boxWidth)) / 2);
    long double originY = Round((surfaceHeight - Round(s * boxHeight)) / 2);
    if (a < 91) originY = Round(originY + (startY - RotatePointY(startX, startY, s * widthTotal, a, "hor")));
    if (a > 269) originX = Round(originX + (startX - RotatePointX(startX, startY, s * heightTotal, a, "ver")));

    const BlockLayout layout(spec);
    const std::uint64_t total = layout.lineCount();
    std::uint64_t done = 0;
    std::optional<PixelEnds> previous;
    finished = layout.WalkGridLines([&](const GridLine& line) {
      const long double x1 = (line.startX - startX) * s + originX;
      const long double y1 = (line.startY - startY) * s + originY;
      const long double x2 = (line.endX - startX) * s + originX;
      const long double y2 = (line.endY - startY) * s + originY;
      // A large block maps runs of neighbouring lines onto the same pixels;
      // the same two pixels give the same line, so only the first is drawn.
      const std::optional<PixelEnds> ends = PixelEndsOf(x1, y1, x2, y2);
      if (!ends || ends != previous) {
        surface.SetDrawingColour(kPreviewBlue);
        surface.MoveTo(x1, y1);
        surface.LineTo(x2, y2);
      }
      previous = ends;
      ++done;
      if (progress && done % kLinesPerStep == 0) return progress->Step(done, total);
      return true;
    });
  }

  // One redraw: the screen never shows a half-drawn grid.
  surface.Redraw();
  return finished;
}

}  // namespace tavimo
