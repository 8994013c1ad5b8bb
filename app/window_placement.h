#pragma once
// Keeping the dialog on the screen: its own position when that fits, the
// least move that brings it wholly inside the screen's available area when
// it does not (small screens, large fonts, scaling).

#include <QPoint>
#include <QRect>

class QWidget;

namespace tavimo::app {

// The top-left corner for a window whose frame (title bar and border
// included) is `frame`, moved as little as possible to lie inside
// `available`. Along an axis where the frame is larger than the area, the
// frame's top or left edge goes to the area's: the title bar and the menu
// stay reachable.
QPoint PlaceInside(const QRect& frame, const QRect& available);

// The part of a screen's available area (logical pixels) that a window
// surely covers on the device: at a fractional scale the area's logical size
// is rounded, and a window's position and size are rounded again on their
// way to device pixels, so the last logical pixel or two may lie partly
// beyond the screen's edge.
QRect SurelyOnScreen(const QRect& available, double scale);

// Moves the top-level `window` by PlaceInside within the part of the
// available area that is surely on the screen holding its top-left corner
// (the primary screen if none).
void KeepOnScreen(QWidget& window);

}  // namespace tavimo::app
