#include "preview/draw_preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "model/block_layout.h"
#include "model/rotate_point.h"
#include "preview/line_runs.h"

namespace tavimo {
namespace {

// How many runs of lines are drawn between two progress reports.
constexpr std::uint64_t kRunsPerStep = 16;

// Whole numbers are kept in the extended type: a block of any size gives a box and
// origin without integer overflow, and every value a 32-bit integer could
// hold is represented exactly.
Extended Round(Extended value) { return NearestEven(value); }

// surface / box in single precision; an empty box side does not limit the fit.
float Fit(int surfaceSize, Extended boxSize) {
  if (boxSize == 0) return std::numeric_limits<float>::infinity();
  return static_cast<float>(static_cast<Extended>(surfaceSize) / boxSize);
}

// Draws one family of grid lines (0..last), each run of lines that set the
// same pixels as one line. Returns false when cancelled.
class FamilyPainter {
 public:
  FamilyPainter(PreviewSurface& surface, const LineSorter& sorter, Progress* progress, std::uint64_t total,
                std::uint64_t& done)
      : surface_(surface), sorter_(sorter), progress_(progress), total_(total), done_(done) {}

  template <typename MappedAt>
  bool Paint(std::int64_t last, MappedAt&& mappedAt) {
    if (last < 0) return true;
    const RunGuess guess(mappedAt(0), mappedAt(last), last);
    for (std::int64_t k = 0; k <= last;) {
      const MappedLine line = mappedAt(k);
      std::int64_t end = k;
      if (const unsigned blank = sorter_.BlankReasons(line)) {
        // Nothing to draw; neither for the lines after it that stay blank
        // for the same reason.
        const unsigned reason = blank & (~blank + 1);  // the first of them
        end = RunEnd(k, last, k,
                     [&](std::int64_t t) { return (sorter_.BlankReasons(mappedAt(t)) & reason) != 0; });
      } else {
        surface_.SetDrawingColour(kPreviewBlue);
        surface_.MoveTo(line.x1, line.y1);
        surface_.LineTo(line.x2, line.y2);
        if (const auto ends = NearPixels(line))
          end = RunEnd(k, last, guess.End(k, line, last),
                       [&](std::int64_t t) { return NearPixels(mappedAt(t)) == ends; });
      }
      done_ += static_cast<std::uint64_t>(end - k) + 1;
      k = end + 1;
      if (progress_ && ++runs_ % kRunsPerStep == 0 && !progress_->Step(done_, total_)) return false;
    }
    return true;
  }

 private:
  PreviewSurface& surface_;
  const LineSorter& sorter_;
  Progress* progress_;
  std::uint64_t total_;
  std::uint64_t& done_;
  std::uint64_t runs_ = 0;
};

// Where the starting point lies in the turned block's box: its leftmost
// point for a clockwise angle (0..90), its lowest for a counter-clockwise
// one (270..360); a baseline may point anywhere. Other angles, which only
// direct callers pass, leave the preview blank.
enum class Placing { kClockwise, kCounterClockwise, kAnyWay, kNone };

Placing PlacingOf(const Turn& turn) {
  if (turn.kind == Turn::Kind::kVector) return Placing::kAnyWay;
  const Extended a = turn.kind == Turn::Kind::kWholeDegrees ? turn.wholeDegrees : turn.degrees;
  if (a < 91) return Placing::kClockwise;
  if (a > 269) return Placing::kCounterClockwise;
  return Placing::kNone;
}

}  // namespace

bool DrawPreview(PreviewSurface& surface, const CellBlock& spec, Progress* progress) {
  const Extended startX = spec.startX;
  const Extended startY = spec.startY;
  const Extended widthTotal = spec.widthTotal;
  const Extended heightTotal = spec.heightTotal;
  const Rotation rotation(spec.turn);
  const Placing placing = PlacingOf(spec.turn);

  // The turned block's axis-parallel bounding box, from absolute coordinates:
  // the far ends of its width edge, its height edge and its far corner.
  Extended widthEndX, widthEndY, heightEndX, heightEndY, cornerX, cornerY;
  rotation.Hor(startX, startY, widthTotal, widthEndX, widthEndY);
  rotation.Ver(startX, startY, heightTotal, heightEndX, heightEndY);
  rotation.Ver(widthEndX, widthEndY, heightTotal, cornerX, cornerY);
  const Extended minX = std::min({startX, widthEndX, heightEndX, cornerX});
  const Extended minY = std::min({startY, widthEndY, heightEndY, cornerY});
  Extended boxWidth = 0;
  Extended boxHeight = 0;
  if (placing == Placing::kClockwise) {
    // The starting point is the block's leftmost point.
    boxWidth = Round(cornerX - startX);
    boxHeight = Round(heightEndY - widthEndY);
  } else if (placing == Placing::kCounterClockwise) {
    // The starting point is the block's lowest point.
    boxWidth = Round(widthEndX - heightEndX);
    boxHeight = Round(cornerY - startY);
  } else if (placing == Placing::kAnyWay) {
    boxWidth = Round(std::max({startX, widthEndX, heightEndX, cornerX}) - minX);
    boxHeight = Round(std::max({startY, widthEndY, heightEndY, cornerY}) - minY);
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
    const Extended s = scale;

    // Centre the drawn box, then move the origin to where the starting point
    // is drawn inside it.
    Extended originX = Round((surfaceWidth - Round(s * boxWidth)) / 2);
    Extended originY = Round((surfaceHeight - Round(s * boxHeight)) / 2);
    Extended x, y;
    if (placing == Placing::kClockwise) {
      rotation.Hor(startX, startY, s * widthTotal, x, y);
      originY = Round(originY + (startY - y));
    }
    if (placing == Placing::kCounterClockwise) {
      rotation.Ver(startX, startY, s * heightTotal, x, y);
      originX = Round(originX + (startX - x));
    }
    if (placing == Placing::kAnyWay) {
      originX = Round(originX + s * (startX - minX));
      originY = Round(originY + s * (startY - minY));
    }

    const BlockLayout layout(spec);
    auto map = [&](const GridLine& line) {
      return MappedLine{static_cast<long double>((line.startX - startX) * s + originX),
                        static_cast<long double>((line.startY - startY) * s + originY),
                        static_cast<long double>((line.endX - startX) * s + originX),
                        static_cast<long double>((line.endY - startY) * s + originY)};
    };
    // The largest magnitude any mapped coordinate can reach, give or take
    // rounding: bounds the rounding of a whole family of lines.
    const Extended reach =
        s * (Abs(startX) + Abs(startY) + 2 * (Abs(widthTotal) + Abs(heightTotal))) +
        Abs(originX) + Abs(originY) + surfaceWidth + surfaceHeight;
    const LineSorter sorter(surfaceWidth, surfaceHeight, static_cast<long double>(reach));
    std::uint64_t done = 0;
    FamilyPainter painter(surface, sorter, progress, layout.lineCount(), done);
    finished =
        painter.Paint(layout.columnCount(), [&](std::int64_t i) { return map(layout.ColumnLine(i)); }) &&
        painter.Paint(layout.rowCount(), [&](std::int64_t j) { return map(layout.RowLine(j)); });
  }

  // One redraw: the screen never shows a half-drawn grid.
  surface.Redraw();
  return finished;
}

}  // namespace tavimo
