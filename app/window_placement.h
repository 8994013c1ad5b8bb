#pragma once
// Keeping the Qt dialog on the screen by dialog/window_placement.h: its
// own position when that fits, the least move onto the screen when not.

class QWidget;

namespace tavimo::app {

// Moves the top-level `window` by PlaceInside within the part of the
// available area that is surely on the screen holding its top-left corner
// (the primary screen if none).
void KeepOnScreen(QWidget& window);

}  // namespace tavimo::app
