#pragma once
// The main dialog's controls, in creation order (also their tab order),
// with positions and sizes in dialog units relative to the client area.

#include <span>

namespace tavimo::dialog {

// A default button is the one Enter presses wherever the focus is; the
// main dialog has none. A drop-down list offers fixed items, one of which is
// always chosen; its height is that of its closed box.
enum class ControlKind {
  kPushButton,
  kDefaultButton,
  kTextBox,
  kLabel,
  kGroupBox,
  kRadioButton,
  kCheckBox,
  kPreview,
  kDropDown,
};

struct ControlDef {
  int id;
  const char* name;  // also the widget's objectName
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  bool enabled;
};

std::span<const ControlDef> DialogControls();
const ControlDef* FindControl(int id);

// A label and the text box it names: the label is the box's buddy, and its
// text the box's accessible name.
struct LabelFor {
  int label;
  int field;
};
std::span<const LabelFor> FieldLabels();

inline constexpr const char* kDialogCaption = "Cell block generator";
inline constexpr const char* kDialogObjectName = "CellBlockDialog";
// Client area and screen position of the dialog, dialog units.
inline constexpr int kDialogWidthDu = 461;
inline constexpr int kDialogHeightDu = 325;
inline constexpr int kDialogXDu = 198;
inline constexpr int kDialogYDu = 147;

}  // namespace tavimo::dialog
