#include "app/message_boxes.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace tavimo::app {

QMessageBox::Icon IconForStyle(unsigned style) {
  switch (style & 0xF0u) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

void KeepLinesWhole(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  QScreen* screen = box.screen() != nullptr ? box.screen() : QGuiApplication::primaryScreen();
  if (label == nullptr || screen == nullptr) return;
  const QFontMetrics metrics(label->font());
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  // The widest box Qt allows on this screen, less room for the icon and
  // the margins beside the text; a wider text is broken into lines.
  const int screenWidth = screen->availableGeometry().width();
  const int widestBox = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
  const int room = widestBox - 4 * box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  label->setMinimumWidth(std::min(widest + 1, std::max(room, 0)));
}

QString DisplayText(std::string_view text) {
  // UTF-8: the texts name paths as the file system names them.
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace tavimo::app
