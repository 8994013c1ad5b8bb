#pragma once
// A preview surface that draws into a plain RGB pixel buffer. The Qt program
// shows this buffer in its preview control; tests read its pixels.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "preview/preview_surface.h"

namespace tavimo {

class PixelSurface : public PreviewSurface {
 public:
  // A surface of width x height pixels, first filled with `initialFill`.
  PixelSurface(int width, int height, Rgb initialFill = kPreviewWhite);

  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void Attach(bool buffered) override;
  void SetScale(long double x1, long double y1, long double x2, long double y2) override;
  void SetDrawingColour(Rgb colour) override;
  void SetBackgroundColour(Rgb colour) override;
  void Clear() override;
  void MoveTo(long double x, long double y) override;
  void LineTo(long double x, long double y) override;
  void Redraw() override;

  // Pixel at column x, row y counted from the upper-left pixel.
  Rgb At(int x, int y) const;
  // Row-major 0xRRGGBB values, width x height.
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  // Called by Redraw (and after an unbuffered change): the screen should
  // show the buffer now.
  void SetRedrawHandler(std::function<void()> handler) { redraw_ = std::move(handler); }

 private:
  // A line between whole pixel positions, after clipping; u grows to the
  // right, v upward (row = height - v).
  struct PixelLine {
    std::int64_t u0, v0, u1, v1;
    bool operator==(const PixelLine&) const = default;
  };

  void Changed();
  void Rasterise(const PixelLine& line);

  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
  // User to pixel mapping: u = (x - originX_) * factorX_, v = (y - originY_) * factorY_.
  long double originX_ = 0;
  long double originY_ = 0;
  long double factorX_ = 1;
  long double factorY_ = 1;
  long double currentX_ = 0;
  long double currentY_ = 0;
  std::uint32_t drawing_ = 0x000000;
  std::uint32_t background_ = 0xFFFFFF;
  bool buffered_ = true;
  std::function<void()> redraw_;
  // The line rasterised last and its colour, while the pixels still show
  // it: drawing it again would set the same pixels to the same colour.
  // Neighbouring grid lines that reach far off the surface, drawn one by
  // one, often clip to the same pixel line.
  std::optional<PixelLine> lastLine_;
  std::uint32_t lastColour_ = 0;
};

}  // namespace tavimo
