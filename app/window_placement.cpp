#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace tavimo::app {
namespace {

// One axis: the start that keeps [start, start + length) inside
// [low, high), the low end winning when the length does not fit.
int PlaceAlong(int start, int length, int low, int high) {
  if (start + length > high) start = high - length;
  if (start < low) start = low;
  return start;
}

}  // namespace

QPoint PlaceInside(const QRect& frame, const QRect& available) {
  return {PlaceAlong(frame.x(), frame.width(), available.left(), available.left() + available.width()),
          PlaceAlong(frame.y(), frame.height(), available.top(), available.top() + available.height())};
}

QRect SurelyOnScreen(const QRect& available, double scale) {
  if (scale <= 0 || scale == std::floor(scale)) return available;
  // A logical edge e lies at most half a logical pixel beyond the device
  // edge, and the window's rounded device edge at most one device pixel
  // beyond e * scale: k logical pixels cover both when (k - 1/2) * scale >= 1.
  const int k = static_cast<int>(std::ceil(0.5 + 1.0 / scale));
  return available.adjusted(0, 0, -k, -k);
}

void KeepOnScreen(QWidget& window) {
  const QRect frame = window.frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QPoint place =
      PlaceInside(frame, SurelyOnScreen(screen->availableGeometry(), screen->devicePixelRatio()));
  if (place != frame.topLeft()) window.move(place);
}

}  // namespace tavimo::app
