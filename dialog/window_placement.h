#pragma once
// Keeping the dialog on the screen: its own position when that fits, the
// least move that brings it wholly inside the screen's available area when
// it does not (small screens, large fonts, scaling). Plain arithmetic; each
// dialog measures its frame and the screen with its own toolkit.

namespace tavimo::dialog {

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// The top-left corner for a window whose frame (title bar and border
// included) is `frame`, moved as little as possible to lie inside
// `available`. Along an axis where the frame is larger than the area, the
// frame's top or left edge goes to the area's: the title bar and the menu
// stay reachable.
Point PlaceInside(const Rect& frame, const Rect& available);

// The part of a screen's available area (logical pixels) that a window
// surely covers on the device: at a fractional scale the area's logical size
// is rounded, and a window's position and size are rounded again on their
// way to device pixels, so the last logical pixel or two may lie partly
// beyond the screen's edge.
Rect SurelyOnScreen(const Rect& available, double scale);

}  // namespace tavimo::dialog
