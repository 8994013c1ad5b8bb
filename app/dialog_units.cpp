#include "app/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tavimo::app {

dialog::DialogBaseUnits BaseUnitsOf(const QFontMetrics& metrics) {
  static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return dialog::DialogBaseUnits::FromMetrics(metrics.horizontalAdvance(kLetters), metrics.height());
}

QPoint ToPixels(const dialog::DialogBaseUnits& units, QPoint du) {
  return {units.ToPixelsX(du.x()), units.ToPixelsY(du.y())};
}

QSize ToPixels(const dialog::DialogBaseUnits& units, QSize du) {
  return {units.ToPixelsX(du.width()), units.ToPixelsY(du.height())};
}

QRect ToPixels(const dialog::DialogBaseUnits& units, QRect du) {
  return {ToPixels(units, du.topLeft()), ToPixels(units, du.size())};
}

QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace tavimo::app
