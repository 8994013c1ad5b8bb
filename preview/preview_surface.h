#pragma once
// The drawing surface behind the preview control. User coordinates: origin
// at the lower-left corner, y upward, one unit per pixel once SetScale has
// been given (0, H) for the upper-left and (W, 0) for the lower-right corner.

#include <cstdint>

namespace tavimo {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kPreviewBlue{0, 0, 255};
inline constexpr Rgb kPreviewWhite{255, 255, 255};

class PreviewSurface {
 public:
  virtual ~PreviewSurface() = default;
  // The client width and height in pixels.
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Makes this surface the drawing target; buffered: the screen shows the
  // drawing only at the next Redraw.
  virtual void Attach(bool buffered) = 0;
  // User coordinates of the upper-left (x1, y1) and lower-right (x2, y2) corners.
  virtual void SetScale(long double x1, long double y1, long double x2, long double y2) = 0;
  virtual void SetDrawingColour(Rgb colour) = 0;
  virtual void SetBackgroundColour(Rgb colour) = 0;
  virtual void Clear() = 0;
  virtual void MoveTo(long double x, long double y) = 0;
  // A one-pixel line from the current point up to, not including, the pixel
  // of (x, y), which becomes the current point. Clipped at the edges. The
  // preview draws a run of lines once, and relies on this: while no end
  // coordinate exceeds 2^24 in magnitude, the pixels set depend only on the
  // two end pixels; a line that stays more than two pixels outside the
  // surface sets none.
  virtual void LineTo(long double x, long double y) = 0;
  virtual void Redraw() = 0;
};

}  // namespace tavimo
