#pragma once
// What the preview control shows: a copy of the preview surface's pixels,
// taken when the drawing says "redraw", so that a repaint while a long
// preview is drawing never shows a half-drawn grid.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tavimo {
class PixelSurface;
}

namespace tavimo::win32 {

class PreviewPicture {
 public:
  void Take(const PixelSurface& surface);
  // Paints the picture at the upper-left corner of `dc`, one pixel for one.
  void Paint(HDC dc) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace tavimo::win32
