#pragma once
// The Options window (File > Options...): its controls, texts and layout in
// dialog units, and what its check boxes and OK do, for both dialogs to
// show with their own toolkit. The window is modal; Cancel, Escape and its
// close button change nothing.

#include <span>
#include <string>
#include <string_view>

#include "dialog/dialog_layout.h"
#include "dialog/options_store.h"

namespace tavimo::dialog {

inline constexpr const char* kOptionsMenuText = "&Options...";
inline constexpr const char* kOptionsCaption = "Options";
inline constexpr const char* kOptionsObjectName = "OptionsDialog";
// Client area, dialog units; the window opens centred on the main dialog.
inline constexpr int kOptionsWidthDu = 200;
inline constexpr int kOptionsHeightDu = 266;

// In creation order, which is also the tab order: each label comes before
// the text box or drop-down list it names.
std::span<const ControlDef> OptionsControls();
std::span<const LabelFor> OptionsFieldLabels();
// A drop-down list's items, each at the index of the value it stands for
// (LabelCorner, NumberOrder); empty for any other control.
std::span<const char* const> OptionsListItems(int id);

// The window's controls, by their ids, as each toolkit reaches them.
class OptionsForm {
 public:
  virtual ~OptionsForm() = default;
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  // UTF-8.
  virtual std::string GetText(int id) = 0;
  virtual void SetText(int id, std::string_view text) = 0;
  // A drop-down list's chosen item, from 0.
  virtual int GetChoice(int id) = 0;
  virtual void SetChoice(int id, int index) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual void Focus(int id) = 0;
  // A message box that blocks the program until it is closed.
  virtual void ShowMessage(std::string_view text, std::string_view caption, unsigned style) = 0;
};

// Fills the window as it opens.
void ShowChoices(OptionsForm& form, const OptionsChoices& choices);
// After a check box was clicked: the fields of an option that is off are
// disabled, with their labels.
void FollowChecks(OptionsForm& form);
OptionsChoices ReadChoices(OptionsForm& form);
// OK. An option that is on with a field empty (or blank), a label template
// that cannot be read or a first number that is no whole 32-bit number is
// told, naming the field, which gets the focus: false, the window stays
// open; so is a coordinate system that --srs would refuse. Otherwise the choices go to `store` (a failure to write them told;
// they hold for this run all the same) and true: the window closes.
bool AcceptOptions(OptionsForm& form, OptionsStore& store);

}  // namespace tavimo::dialog
