#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

void KeepOnScreen(QWidget& window) {
  const QRect frame = window.frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QPoint place = PlaceInside(frame, screen->availableGeometry());
  if (place != frame.topLeft()) window.move(place);
}

}  // namespace tavimo::app
