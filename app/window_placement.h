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

// Moves the top-level `window` by PlaceInside within the available area of
// the screen that holds its top-left corner (the primary screen if none).
void KeepOnScreen(QWidget& window);

}  // namespace tavimo::app
