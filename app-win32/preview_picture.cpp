#include "app-win32/preview_picture.h"

#include "preview/pixel_surface.h"

namespace tavimo::win32 {

void PreviewPicture::Take(const PixelSurface& surface) {
  width_ = surface.ClientWidth();
  height_ = surface.ClientHeight();
  pixels_ = surface.pixels();
}

void PreviewPicture::Paint(HDC dc) const {
  if (pixels_.empty()) return;
  // The surface's 0x00RRGGBB words are, byte by byte, the blue, green, red
  // and unused bytes of a 32-bit DIB; a negative height makes it top-down.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width_), static_cast<DWORD>(height_), 0, 0, 0,
                    static_cast<UINT>(height_), pixels_.data(), &info, DIB_RGB_COLORS);
}

}  // namespace tavimo::win32
