#pragma once
// The dialog units of dialog/dialog_units.h as Qt measures and places them:
// the base units from the dialog font, Qt's points, sizes and rectangles
// in pixels.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "dialog/dialog_units.h"

class QFontMetrics;

namespace tavimo::app {

dialog::DialogBaseUnits BaseUnitsOf(const QFontMetrics& metrics);

QPoint ToPixels(const dialog::DialogBaseUnits& units, QPoint du);
QSize ToPixels(const dialog::DialogBaseUnits& units, QSize du);
QRect ToPixels(const dialog::DialogBaseUnits& units, QRect du);

// "MS Sans Serif" 8 pt, or the platform's sans font where that is missing.
QFont DialogFont();

}  // namespace tavimo::app
