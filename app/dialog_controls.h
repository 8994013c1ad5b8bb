#pragma once
// The controls of the shared tables (dialog/dialog_layout.h,
// dialog/options_window.h) as Qt widgets, placed by their dialog units.

#include <QWidget>
#include <functional>
#include <span>

#include "dialog/dialog_layout.h"
#include "dialog/dialog_units.h"

namespace tavimo::app {

// The widget of a table's control, named, placed and enabled as the table
// says; null for the preview, which its window makes itself. A push button
// is never a default button (Enter presses it only while it has the focus);
// a default button is pressed by Enter anywhere in its dialog.
QWidget* MakeControl(const dialog::ControlDef& def, const dialog::DialogBaseUnits& units, QWidget* parent);

// Each label becomes its text box's (or drop-down list's) buddy and gives
// it its accessible name: screen readers announce a text box by that name,
// without which every field would be just "edit".
void NameFieldsByLabels(std::span<const dialog::LabelFor> labels, const std::function<QWidget*(int)>& control);

}  // namespace tavimo::app
