#include "dialog/options_window.h"

#include <array>
#include <optional>
#include <utility>
#include <variant>

#include "dialog/dialog_ids.h"
#include "dialog/dialog_texts.h"
#include "export/gis_save.h"
#include "export/gis_writer.h"
#include "model/label_scheme.h"
#include "number/text_to_number.h"

namespace tavimo::dialog {
namespace {

using K = ControlKind;

constexpr const char* kDecimalsText = "Keep decimals of the angle and sizes";
constexpr const char* kBaselineText = "Lay the block along a baseline";
constexpr const char* kCountsText = "Give counts of cells";
constexpr const char* kLabelsText = "Label the cells my own way";

constexpr std::array<ControlDef, 31> kControls{{
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
    {IDC_LABELS, "IDC_LABELS", K::kCheckBox, kLabelsText, 7, 107, 186, 10, true},
    {IDC_LABELTEMPLATE, "IDC_LABELTEMPLATE", K::kLabel, "Template", 17, 123, 76, 8, true},
    {IDC_TEMPLATE, "IDC_TEMPLATE", K::kTextBox, "", 95, 121, 98, 14, true},
    {IDC_LABELFIRSTCOLUMN, "IDC_LABELFIRSTCOLUMN", K::kLabel, "First column", 17, 140, 76, 8, true},
    {IDC_FIRSTCOLUMN, "IDC_FIRSTCOLUMN", K::kTextBox, "", 95, 138, 50, 14, true},
    {IDC_LABELFIRSTROW, "IDC_LABELFIRSTROW", K::kLabel, "First row", 17, 157, 76, 8, true},
    {IDC_FIRSTROW, "IDC_FIRSTROW", K::kTextBox, "", 95, 155, 50, 14, true},
    {IDC_LABELCORNER, "IDC_LABELCORNER", K::kLabel, "Corner of 1-1", 17, 174, 76, 8, true},
    {IDC_CORNER, "IDC_CORNER", K::kDropDown, "", 95, 172, 98, 14, true},
    {IDC_LABELORDER, "IDC_LABELORDER", K::kLabel, "Running number {n}", 17, 191, 76, 8, true},
    {IDC_ORDER, "IDC_ORDER", K::kDropDown, "", 95, 189, 98, 14, true},
    {IDC_LABELSCENTRE, "IDC_LABELSCENTRE", K::kCheckBox, "Labels at the cells' centres", 17, 207, 176, 10, true},
    {IDC_LABELSRS, "IDC_LABELSRS", K::kLabel, "Coordinate system", 7, 226, 86, 8, true},
    {IDC_SRS, "IDC_SRS", K::kTextBox, "", 95, 224, 98, 14, true},
    {IDC_OPTIONSOK, "IDC_OPTIONSOK", K::kDefaultButton, "OK", 89, 245, 50, 14, true},
    {IDC_OPTIONSCANCEL, "IDC_OPTIONSCANCEL", K::kPushButton, "Cancel", 143, 245, 50, 14, true},
}};

constexpr std::array<LabelFor, 12> kFieldLabels{{
    {IDC_LABELX1, IDC_BASELINEX1},
    {IDC_LABELY1, IDC_BASELINEY1},
    {IDC_LABELX2, IDC_BASELINEX2},
    {IDC_LABELY2, IDC_BASELINEY2},
    {IDC_LABELCOLUMNS, IDC_COLUMNS},
    {IDC_LABELROWS, IDC_ROWS},
    {IDC_LABELTEMPLATE, IDC_TEMPLATE},
    {IDC_LABELFIRSTCOLUMN, IDC_FIRSTCOLUMN},
    {IDC_LABELFIRSTROW, IDC_FIRSTROW},
    {IDC_LABELCORNER, IDC_CORNER},
    {IDC_LABELORDER, IDC_ORDER},
    {IDC_LABELSRS, IDC_SRS},
}};

// In the order of LabelCorner and NumberOrder.
constexpr std::array<const char*, 4> kCornerItems = {"Lower left (start)", "Lower right", "Upper left", "Upper right"};
constexpr std::array<const char*, 3> kOrderItems = {"Row by row", "Column by column", "Back and forth"};

// An option with fields: its check box and the controls it enables, in the
// order they are checked on OK; each text box among them is needed.
struct Option {
  int check;
  const char* text;
  std::array<int, 6> fields;
  std::size_t fieldCount;
};
constexpr std::array<Option, 3> kOptionsWithFields{{
    {IDC_BASELINE, kBaselineText, {IDC_BASELINEX1, IDC_BASELINEY1, IDC_BASELINEX2, IDC_BASELINEY2, 0, 0}, 4},
    {IDC_COUNTS, kCountsText, {IDC_COLUMNS, IDC_ROWS, 0, 0, 0, 0}, 2},
    {IDC_LABELS,
     kLabelsText,
     {IDC_TEMPLATE, IDC_FIRSTCOLUMN, IDC_FIRSTROW, IDC_CORNER, IDC_ORDER, IDC_LABELSCENTRE},
     6},
}};

constexpr std::array<int, 4> kPointFields = {IDC_BASELINEX1, IDC_BASELINEY1, IDC_BASELINEX2, IDC_BASELINEY2};

const ControlDef* Find(int id) {
  for (const ControlDef& c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}

int LabelOf(int field) {
  for (const LabelFor& pair : kFieldLabels)
    if (pair.field == field) return pair.label;
  return 0;
}

std::string LabelText(int field) {
  const ControlDef* label = Find(LabelOf(field));
  return label != nullptr ? label->text : "";
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

// The chosen item, the first when none is.
int ChoiceOf(OptionsForm& form, int id) {
  const int index = form.GetChoice(id);
  return index >= 0 && static_cast<std::size_t>(index) < OptionsListItems(id).size() ? index : 0;
}

// Why the labels part cannot be taken, and the field to correct; the core
// reads these texts by the same rules, so that a block is not refused later
// for what OK let through.
std::optional<std::pair<std::string, int>> LabelsProblem(const OptionsChoices& choices) {
  const auto read = LabelTemplate::Read(choices.labelTemplate);
  if (const auto* why = std::get_if<std::string>(&read))
    return std::pair{LabelText(IDC_TEMPLATE) + ": " + *why, IDC_TEMPLATE};
  for (const auto& [text, id] :
       {std::pair{&choices.firstColumn, IDC_FIRSTCOLUMN}, std::pair{&choices.firstRow, IDC_FIRSTROW}}) {
    const Extended value = TextToNumber(*text);
    const auto whole = RoundToInt32(value);
    if (!whole || *whole != value)
      return std::pair{LabelText(id) + " must be a whole number between -2147483648 and 2147483647", id};
  }
  return std::nullopt;
}

// Why the GIS saves could not take `srs`, read as --srs is: by GDAL where
// this build has it, else as a GeoJSON file names it (EPSG:<code>).
std::optional<std::string> SrsProblem(const std::string& srs) {
  if (srs.empty()) return std::nullopt;
  if (GisFormatsAvailable()) return CheckSrs(srs);
  EpsgCode code = GeoJsonEpsgCode(srs);
  return code.refusal.empty() ? std::nullopt : std::optional<std::string>(std::move(code.refusal));
}

}  // namespace

std::span<const ControlDef> OptionsControls() { return kControls; }

std::span<const LabelFor> OptionsFieldLabels() { return kFieldLabels; }

std::span<const char* const> OptionsListItems(int id) {
  if (id == IDC_CORNER) return kCornerItems;
  if (id == IDC_ORDER) return kOrderItems;
  return {};
}

void ShowChoices(OptionsForm& form, const OptionsChoices& choices) {
  form.SetChecked(IDC_DECIMALS, choices.decimals);
  form.SetChecked(IDC_BASELINE, choices.baseline);
  form.SetChecked(IDC_COUNTS, choices.counts);
  for (std::size_t i = 0; i < kPointFields.size(); ++i) form.SetText(kPointFields[i], choices.baselinePoints[i]);
  form.SetText(IDC_COLUMNS, choices.columns);
  form.SetText(IDC_ROWS, choices.rows);
  form.SetChecked(IDC_LABELS, choices.labels);
  form.SetText(IDC_TEMPLATE, choices.labelTemplate);
  form.SetText(IDC_FIRSTCOLUMN, choices.firstColumn);
  form.SetText(IDC_FIRSTROW, choices.firstRow);
  form.SetChoice(IDC_CORNER, static_cast<int>(choices.corner));
  form.SetChoice(IDC_ORDER, static_cast<int>(choices.order));
  form.SetChecked(IDC_LABELSCENTRE, choices.labelsAtCentre);
  form.SetText(IDC_SRS, choices.srs);
  FollowChecks(form);
}

void FollowChecks(OptionsForm& form) {
  for (const Option& option : kOptionsWithFields) {
    const bool on = form.IsChecked(option.check);
    for (std::size_t i = 0; i < option.fieldCount; ++i) {
      form.Enable(option.fields[i], on);
      if (const int label = LabelOf(option.fields[i])) form.Enable(label, on);
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
  choices.labels = form.IsChecked(IDC_LABELS);
  choices.labelTemplate = form.GetText(IDC_TEMPLATE);
  choices.firstColumn = form.GetText(IDC_FIRSTCOLUMN);
  choices.firstRow = form.GetText(IDC_FIRSTROW);
  choices.corner = static_cast<LabelCorner>(ChoiceOf(form, IDC_CORNER));
  choices.order = static_cast<NumberOrder>(ChoiceOf(form, IDC_ORDER));
  choices.labelsAtCentre = form.IsChecked(IDC_LABELSCENTRE);
  // Blanks around a system mean nothing to GDAL; blank is none.
  const std::string srs = form.GetText(IDC_SRS);
  const std::size_t first = srs.find_first_not_of(" \t");
  if (first != std::string::npos) choices.srs = srs.substr(first, srs.find_last_not_of(" \t") + 1 - first);
  return choices;
}

bool AcceptOptions(OptionsForm& form, OptionsStore& store) {
  const OptionsChoices choices = ReadChoices(form);
  for (const Option& option : kOptionsWithFields) {
    if (!form.IsChecked(option.check)) continue;
    for (std::size_t i = 0; i < option.fieldCount; ++i) {
      if (Find(option.fields[i])->kind != K::kTextBox || !IsBlank(form.GetText(option.fields[i]))) continue;
      form.ShowMessage("Please enter a value for " + LabelText(option.fields[i]) + ", or clear \"" + option.text +
                           "\"",
                       kOptionsCaption, kMessageWarning | kMessageTaskModal);
      form.Focus(option.fields[i]);
      return false;
    }
  }
  if (const auto problem = choices.labels ? LabelsProblem(choices) : std::nullopt) {
    form.ShowMessage(problem->first, kOptionsCaption, kMessageWarning | kMessageTaskModal);
    form.Focus(problem->second);
    return false;
  }
  if (const auto problem = SrsProblem(choices.srs)) {
    form.ShowMessage(LabelText(IDC_SRS) + ": " + *problem, kOptionsCaption, kMessageWarning | kMessageTaskModal);
    form.Focus(IDC_SRS);
    return false;
  }
  const std::string failure = store.Save(choices);
  if (!failure.empty()) {
    form.ShowMessage(failure + "\r\nThe options hold until Tavimo ends; its next start will not have them.",
                     "Options not kept", kMessageWarning | kMessageTaskModal);
  }
  return true;
}

}  // namespace tavimo::dialog
