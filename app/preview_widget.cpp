#include "app/preview_widget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "preview/pixel_surface.h"

namespace tavimo::app {

PreviewWidget::PreviewWidget(const PixelSurface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  TakePicture();
}

void PreviewWidget::ShowBuffer() {
  TakePicture();
  repaint();
}

void PreviewWidget::TakePicture() {
  const int w = surface_.ClientWidth();
  const int h = surface_.ClientHeight();
  // 0x00RRGGBB words read as RGB32 ignore the unused top byte.
  shown_ = QImage(reinterpret_cast<const uchar*>(surface_.pixels().data()), w, h,
                  w * static_cast<int>(sizeof(std::uint32_t)), QImage::Format_RGB32)
               .copy();
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), shown_);
}

// Clicks on the preview mean nothing; swallow them so they reach no parent.
void PreviewWidget::mousePressEvent(QMouseEvent* event) { event->accept(); }
void PreviewWidget::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void PreviewWidget::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace tavimo::app
