#include "app/group_frame.h"

#include <QPainter>
#include <QPalette>

namespace tavimo::app {

int GroupFrame::LineTop() const { return fontMetrics().height() / 2 - 1; }

void GroupFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  const int top = LineTop();
  const int right = width() - 1;
  const int bottom = height() - 1;

  // An etched edge: a shadow line with a light line inside it at the top
  // and left, the other way round at the right and bottom.
  p.setPen(shadow);
  p.drawLine(0, top, right - 1, top);
  p.drawLine(0, top, 0, bottom - 1);
  p.drawLine(right - 1, top + 1, right - 1, bottom - 1);
  p.drawLine(1, bottom - 1, right - 1, bottom - 1);
  p.setPen(light);
  p.drawLine(1, top + 1, right - 2, top + 1);
  p.drawLine(1, top + 1, 1, bottom - 2);
  p.drawLine(right, top, right, bottom);
  p.drawLine(0, bottom, right, bottom);

  if (title().isEmpty()) return;
  const QFontMetrics metrics = fontMetrics();
  const QRect caption(kCaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height());
  p.fillRect(caption.adjusted(-kCaptionGap, 0, kCaptionGap, kCaptionGap), palette().color(QPalette::Window));
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  p.drawText(caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

}  // namespace tavimo::app
