#include "dialog/window_placement.h"

#include <cmath>

namespace tavimo::dialog {
namespace {

// One axis: the start that keeps [start, start + length) inside
// [low, high), the low end winning when the length does not fit.
int PlaceAlong(int start, int length, int low, int high) {
  if (start + length > high) start = high - length;
  if (start < low) start = low;
  return start;
}

}  // namespace

Point PlaceInside(const Rect& frame, const Rect& available) {
  return {PlaceAlong(frame.x, frame.width, available.x, available.x + available.width),
          PlaceAlong(frame.y, frame.height, available.y, available.y + available.height)};
}

Rect SurelyOnScreen(const Rect& available, double scale) {
  if (scale <= 0 || scale == std::floor(scale)) return available;
  // A logical edge e lies at most half a logical pixel beyond the device
  // edge, and the window's rounded device edge at most one device pixel
  // beyond e * scale: k logical pixels cover both when (k - 1/2) * scale >= 1.
  const int k = static_cast<int>(std::ceil(0.5 + 1.0 / scale));
  return {available.x, available.y, available.width - k, available.height - k};
}

}  // namespace tavimo::dialog
