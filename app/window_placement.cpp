#include "app/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "dialog/window_placement.h"

namespace tavimo::app {
namespace {

dialog::Rect RectOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

void KeepOnScreen(QWidget& window) {
  const QRect frame = window.frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const dialog::Point place = dialog::PlaceInside(
      RectOf(frame), dialog::SurelyOnScreen(RectOf(screen->availableGeometry()), screen->devicePixelRatio()));
  if (place.x != frame.x() || place.y != frame.y()) window.move(place.x, place.y);
}

}  // namespace tavimo::app
