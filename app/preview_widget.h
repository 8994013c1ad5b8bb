#pragma once
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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const PixelSurface& surface_;
};

}  // namespace tavimo::app
