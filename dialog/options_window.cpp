#include "dialog/options_window.h"

#include <array>

#include "dialog/dialog_ids.h"
#include "dialog/dialog_texts.h"

namespace tavimo::dialog {
namespace {

using K = ControlKind;

constexpr const char* kDecimalsText = "Keep decimals of the angle and sizes";
constexpr const char* kBaselineText = "Lay the block along a baseline";
constexpr const char* kCountsText = "Give counts of cells";

constexpr std::array<ControlDef, 17> kControls{{
    {IDC_DECIMALS, "IDC_DECIMALS", K::kCheckBox, kDecimalsText, 7, 7, 186, 10, true},
    {IDC_BASELINE, "IDC_BASELINE", K::kCheckBox, kBaselineText, 7, 23, 186, 10, true},
    {IDC_LABELX1, "IDC_LABELX1", K::kLabel, "X1", 17, 39, 28, 8, true},
    {IDC_BASELINEX1, "IDC_BASELINEX1", K::kTextBox, "", 47, 37, 50, 14, true},
    {IDC_LABELY1, "IDC_LABELY1", K::kLabel, "Y1", 111, 39, 28, 8, true},
    {IDC_BASELINEY1, "IDC_BASELINEY1", K::kTextBox, "", 143, 37, 50, 14, true},
    {IDC_LABELX2, "IDC_LABELX2", K::kLabel, "X2", 17, 56, 28, 8, true},
    {IDC_BASELINEX2, "IDC_BASELINEX2", K::kTextBox, "", 47, 54, 50, 14, true},
    {IDC_LABELY2, "IDC_LABELY2", K::kLabel, "Y2", 111, 56, 28, 8, true},
    {IDC_BASELINEY2, "IDC_BASELINEY2", K::kTextBox, "", 143, 54, 50, 14, true},
    {IDC_COUNTS, "IDC_COUNTS", K::kCheckBox, kCountsText, 7, 75, 186, 10, true},
    {IDC_LABELCOLUMNS, "IDC_LABELCOLUMNS", K::kLabel, "Columns", 17, 91, 28, 8, true},
    {IDC_COLUMNS, "IDC_COLUMNS", K::kTextBox, "", 47, 89, 50, 14, true},
    {IDC_LABELROWS, "IDC_LABELROWS", K::kLabel, "Rows", 111, 91, 28, 8, true},
    {IDC_ROWS, "IDC_ROWS", K::kTextBox, "", 143, 89, 50, 14, true},
    {IDC_OPTIONSOK, "IDC_OPTIONSOK", K::kDefaultButton, "OK", 89, 109, 50, 14, true},
    {IDC_OPTIONSCANCEL, "IDC_OPTIONSCANCEL", K::kPushButton, "Cancel", 143, 109, 50, 14, true},
}};

constexpr std::array<LabelFor, 6> kFieldLabels{{
    {IDC_LABELX1, IDC_BASELINEX1},
    {IDC_LABELY1, IDC_BASELINEY1},
    {IDC_LABELX2, IDC_BASELINEX2},
    {IDC_LABELY2, IDC_BASELINEY2},
    {IDC_LABELCOLUMNS, IDC_COLUMNS},
    {IDC_LABELROWS, IDC_ROWS},
}};

// An option with fields: its check box and the fields it needs, in the
// order they are checked on OK.
struct Option {
  int check;
  const char* text;
  std::array<int, 4> fields;
  std::size_t fieldCount;
};
constexpr std::array<Option, 2> kOptionsWithFields{{
    {IDC_BASELINE, kBaselineText, {IDC_BASELINEX1, IDC_BASELINEY1, IDC_BASELINEX2, IDC_BASELINEY2}, 4},
    {IDC_COUNTS, kCountsText, {IDC_COLUMNS, IDC_ROWS, 0, 0}, 2},
}};

constexpr std::array<int, 4> kPointFields = {IDC_BASELINEX1, IDC_BASELINEY1, IDC_BASELINEX2, IDC_BASELINEY2};

int LabelOf(int field) {
  for (const LabelFor& pair : kFieldLabels)
    if (pair.field == field) return pair.label;
  return 0;
}

std::string LabelText(int field) {
  for (const ControlDef& c : kControls)
    if (c.id == LabelOf(field)) return c.text;
  return {};
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

std::span<const ControlDef> OptionsControls() { return kControls; }

std::span<const LabelFor> OptionsFieldLabels() { return kFieldLabels; }

void ShowChoices(OptionsForm& form, const OptionsChoices& choices) {
  form.SetChecked(IDC_DECIMALS, choices.decimals);
  form.SetChecked(IDC_BASELINE, choices.baseline);
  form.SetChecked(IDC_COUNTS, choices.counts);
  for (std::size_t i = 0; i < kPointFields.size(); ++i) form.SetText(kPointFields[i], choices.baselinePoints[i]);
  form.SetText(IDC_COLUMNS, choices.columns);
  form.SetText(IDC_ROWS, choices.rows);
  FollowChecks(form);
}

void FollowChecks(OptionsForm& form) {
  for (const Option& option : kOptionsWithFields) {
    const bool on = form.IsChecked(option.check);
    for (std::size_t i = 0; i < option.fieldCount; ++i) {
      form.Enable(option.fields[i], on);
      form.Enable(LabelOf(option.fields[i]), on);
    }
  }
}

OptionsChoices ReadChoices(OptionsForm& form) {
  OptionsChoices choices;
  choices.decimals = form.IsChecked(IDC_DECIMALS);
  choices.baseline = form.IsChecked(IDC_BASELINE);
  choices.counts = form.IsChecked(IDC_COUNTS);
  for (std::size_t i = 0; i < kPointFields.size(); ++i) choices.baselinePoints[i] = form.GetText(kPointFields[i]);
  choices.columns = form.GetText(IDC_COLUMNS);
  choices.rows = form.GetText(IDC_ROWS);
  return choices;
}

bool AcceptOptions(OptionsForm& form, OptionsStore& store) {
  const OptionsChoices choices = ReadChoices(form);
  for (const Option& option : kOptionsWithFields) {
    if (!form.IsChecked(option.check)) continue;
    for (std::size_t i = 0; i < option.fieldCount; ++i) {
      if (!IsBlank(form.GetText(option.fields[i]))) continue;
      form.ShowMessage("Please enter a value for " + LabelText(option.fields[i]) + ", or clear \"" + option.text +
                           "\"",
                       kOptionsCaption, kMessageWarning | kMessageTaskModal);
      form.Focus(option.fields[i]);
      return false;
    }
  }
  const std::string failure = store.Save(choices);
  if (!failure.empty()) {
    form.ShowMessage(failure + "\r\nThe options hold until Tavimo ends; its next start will not have them.",
                     "Options not kept", kMessageWarning | kMessageTaskModal);
  }
  return true;
}

}  // namespace tavimo::dialog
