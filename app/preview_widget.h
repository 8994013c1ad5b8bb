#pragma once
#include <QImage>
#include <QWidget>

namespace tavimo {
class PixelSurface;
}

namespace tavimo::app {

// The preview control: shows the pixel buffer of the preview surface. It
// takes no focus and ignores the mouse.
class PreviewWidget : public QWidget {
 public:
  PreviewWidget(const PixelSurface& surface, QWidget* parent);

  // Takes the surface's picture as it is now and shows it. Between two
  // calls the control keeps showing the last picture, so a repaint while a
  // long preview is drawing never shows a half-drawn grid.
  void ShowBuffer();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void TakePicture();

  const PixelSurface& surface_;
  QImage shown_;
};

}  // namespace tavimo::app
