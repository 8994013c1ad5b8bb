#include "preview/line_runs.h"

#include <cmath>

namespace tavimo {
namespace {

// A line whose ends both lie this far beyond an edge sets no pixel, however
// the surface rounds or clips it.
constexpr long double kEdgeRoom = 2;
// A line at least this far from the grown surface sets no pixel either.
constexpr long double kSideRoom = 4;

}  // namespace

LineSorter::LineSorter(int width, int height, long double reach)
    : left_(-kEdgeRoom),
      right_(width + kEdgeRoom),
      bottom_(-kEdgeRoom),
      top_(height + kEdgeRoom),
      reach_(reach),
      // Each coordinate is a handful of roundings away from its exact value,
      // each below 2^-63 of the reach; this allows for thousands of them.
      slack_(std::ldexp(reach, -48)) {}

unsigned LineSorter::BlankReasons(const MappedLine& line) const {
  unsigned reasons = 0;
  if (line.x1 < left_ && line.x2 < left_) reasons |= 1u;
  if (line.x1 > right_ && line.x2 > right_) reasons |= 2u;
  if (line.y1 < bottom_ && line.y2 < bottom_) reasons |= 4u;
  if (line.y1 > top_ && line.y2 > top_) reasons |= 8u;
  if (reasons != 0) return reasons;

  // A long line that passes a corner of the surface has ends beyond no
  // single edge; it is blank when all four corners lie on one side of it.
  // Across a run of lines the distance of a corner to the exact lines
  // changes linearly with the move length, so a corner far enough on one
  // side of the first and the last line of a run is on that side of every
  // line between; the room covers the rounding, which tilts a short line
  // more than a long one.
  const long double dx = line.x2 - line.x1;
  const long double dy = line.y2 - line.y1;
  // The cross products below are distances times the length; |dx| + |dy|
  // stands for the length, never less than it, so the room only grows.
  const long double length = std::fabs(dx) + std::fabs(dy);
  if (!(length > 0) || !std::isfinite(length) || !std::isfinite(slack_)) return 0;
  const long double room = (kSideRoom + 4 * slack_) * length + 4 * slack_ * reach_;
  const long double cornersX[] = {left_, right_, left_, right_};
  const long double cornersY[] = {bottom_, bottom_, top_, top_};
  bool allLeft = true;
  bool allRight = true;
  for (int c = 0; c < 4; ++c) {
    const long double cross = dx * (cornersY[c] - line.y1) - dy * (cornersX[c] - line.x1);
    allLeft = allLeft && cross > room;
    allRight = allRight && cross < -room;
  }
  if (allLeft) reasons |= 16u;
  if (allRight) reasons |= 32u;
  return reasons;
}

RunGuess::RunGuess(const MappedLine& first, const MappedLine& last, std::int64_t count) {
  if (count <= 0) return;
  const long double n = static_cast<long double>(count);
  perLine_[0] = (last.x1 - first.x1) / n;
  perLine_[1] = (last.y1 - first.y1) / n;
  perLine_[2] = (last.x2 - first.x2) / n;
  perLine_[3] = (last.y2 - first.y2) / n;
}

std::int64_t RunGuess::End(std::int64_t k, const MappedLine& line, std::int64_t last) const {
  const long double at[4] = {line.x1, line.y1, line.x2, line.y2};
  long double lines = static_cast<long double>(last - k);  // the most the run can add
  for (int i = 0; i < 4; ++i) {
    const long double d = perLine_[i];
    if (!(d != 0) || !std::isfinite(d)) continue;
    // The lines after k before this coordinate leaves its pixel. The guess
    // is called for near lines only, whose pixels fit a long long.
    const long double pixel = static_cast<long double>(std::llrintl(at[i]));
    const long double toEdge = d > 0 ? pixel + 0.5L - at[i] : at[i] - (pixel - 0.5L);
    const long double n = toEdge / std::fabs(d);
    if (n < lines) lines = n;
  }
  if (!(lines >= 1)) return k;
  return k + static_cast<std::int64_t>(lines);  // truncated: whole lines
}

}  // namespace tavimo
