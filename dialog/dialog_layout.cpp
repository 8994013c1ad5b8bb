#include "dialog/dialog_layout.h"

#include <array>

#include "dialog/dialog_ids.h"

namespace tavimo::dialog {
namespace {

using K = ControlKind;

// The fields' texts come from the table the exporter shares.
constexpr const char* Initial(Field field) { return InfoOf(field).initialText.data(); }
constexpr const char* Label(Field field) { return InfoOf(field).label.data(); }

constexpr std::array<ControlDef, 24> kControls{{
    {IDC_CREATECELLS, "IDC_CREATECELLS", K::kPushButton, "Create Cells", 398, 10, 55, 15, true},
    {IDC_STARTX, "IDC_STARTX", K::kTextBox, Initial(Field::kStartX), 33, 10, 50, 15, true},
    {IDC_STARTY, "IDC_STARTY", K::kTextBox, Initial(Field::kStartY), 33, 25, 50, 15, true},
    {IDC_LABELX, "IDC_LABELX", K::kLabel, Label(Field::kStartX), 18, 15, 15, 10, true},
    {IDC_LABELY, "IDC_LABELY", K::kLabel, Label(Field::kStartY), 18, 30, 15, 10, true},
    {IDC_WIDTHTOTAL, "IDC_WIDTHTOTAL", K::kTextBox, Initial(Field::kWidthTotal), 138, 10, 35, 15, true},
    {IDC_HEIGHTTOTAL, "IDC_HEIGHTTOTAL", K::kTextBox, Initial(Field::kHeightTotal), 218, 10, 35, 15, true},
    {IDC_WIDTHCELL, "IDC_WIDTHCELL", K::kTextBox, Initial(Field::kWidthCell), 138, 25, 35, 15, true},
    {IDC_HEIGHTCELL, "IDC_HEIGHTCELL", K::kTextBox, Initial(Field::kHeightCell), 218, 25, 35, 15, true},
    {IDC_LABELWIDTHTOTAL, "IDC_LABELWIDTHTOTAL", K::kLabel, Label(Field::kWidthTotal), 98, 15, 40, 10, true},
    {IDC_LABELWIDTHCELL, "IDC_LABELWIDTHCELL", K::kLabel, Label(Field::kWidthCell), 98, 30, 40, 10, true},
    {IDC_LABELHEIGHTTOTAL, "IDC_LABELHEIGHTTOTAL", K::kLabel, Label(Field::kHeightTotal), 178, 15, 40, 10, true},
    {IDC_LABELHEIGHTCELL, "IDC_LABELHEIGHTCELL", K::kLabel, Label(Field::kHeightCell), 178, 30, 40, 10, true},
    {IDC_ANGLE, "IDC_ANGLE", K::kTextBox, Initial(Field::kAngle), 270, 25, 25, 15, true},
    {IDC_SAVECELLS, "IDC_SAVECELLS", K::kPushButton, "Save Cells", 398, 25, 55, 15, false},
    {IDC_LABELANGLE, "IDC_LABELANGLE", K::kLabel, Label(Field::kAngle), 270, 15, 25, 10, true},
    {IDC_FRAMESTARTPOINT, "IDC_FRAMESTARTPOINT", K::kGroupBox, "Starting Point", 3, 0, 85, 45, true},
    {IDC_FRAMEPROPERTIES, "IDC_FRAMEPROPERTIES", K::kGroupBox, "Cell Block Properties", 93, 0, 165, 45, true},
    {IDC_FRAMEBUTTONS, "IDC_FRAMEBUTTONS", K::kGroupBox, "", 393, 0, 65, 45, true},
    {IDC_FRAMECELLBLOCK, "IDC_FRAMECELLBLOCK", K::kGroupBox, "Cell Block", 3, 45, 455, 265, true},
    {IDC_CLOCKWISE, "IDC_CLOCKWISE", K::kRadioButton, "Clockwise", 308, 15, 50, 10, true},
    {IDC_COUNTERCLOCKWISE, "IDC_COUNTERCLOCKWISE", K::kRadioButton, "Counter Clockwise", 308, 30, 75, 10, true},
    {IDC_FRAMEROTATION, "IDC_FRAMEROTATION", K::kGroupBox, "Rotation", 263, 0, 125, 45, true},
    {IDC_GRAPHIC, "IDC_GRAPHIC", K::kPreview, "", 10, 55, 440, 250, true},
}};

constexpr std::array<LabelFor, 7> kFieldLabels{{
    {IDC_LABELX, IDC_STARTX},
    {IDC_LABELY, IDC_STARTY},
    {IDC_LABELWIDTHTOTAL, IDC_WIDTHTOTAL},
    {IDC_LABELHEIGHTTOTAL, IDC_HEIGHTTOTAL},
    {IDC_LABELWIDTHCELL, IDC_WIDTHCELL},
    {IDC_LABELHEIGHTCELL, IDC_HEIGHTCELL},
    {IDC_LABELANGLE, IDC_ANGLE},
}};

}  // namespace

std::span<const ControlDef> DialogControls() { return kControls; }

std::span<const LabelFor> FieldLabels() { return kFieldLabels; }

const ControlDef* FindControl(int id) {
  for (const ControlDef& c : kControls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

}  // namespace tavimo::dialog
