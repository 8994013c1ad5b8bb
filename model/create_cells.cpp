#include "model/create_cells.h"

#include <cmath>
#include <optional>
#include <string>

#include "model/text_to_number.h"
#include "textout/number_text.h"

namespace tavimo {
namespace {

// Refuses a field whose rounded value would not fit the block's 32-bit
// fields, instead of letting it wrap.
void ShowOutOfRange(DialogPort& dialog, std::string_view label) {
  std::string text(label);
  text += " must be between -2147483648 and 2147483647";
  dialog.ShowMessage(text, kWrongValueCaption, kMessageWarning);
}

std::optional<std::int32_t> ReadInteger(DialogPort& dialog, const std::string& text, std::string_view label) {
  const auto value = RoundToInt32(TextToNumber(text));
  if (!value) ShowOutOfRange(dialog, label);
  return value;
}

// Makes `total` a whole multiple of `cell`, rounding the count of cells up,
// with the message and the write-back. False when the corrected total would
// not fit (the request is refused then).
bool FitTotal(DialogPort& dialog, std::int32_t& total, std::int32_t cell, std::string_view message,
              int controlId, std::string_view label) {
  if (cell == 0) return true;  // an infinite or undefined quotient counts as whole
  const long double q = static_cast<long double>(total) / static_cast<long double>(cell);
  if (q == std::floor(q)) return true;
  dialog.ShowMessage(message, kSizeChangedCaption, kMessageInformation);
  const long double corrected = std::ceil(q) * static_cast<long double>(cell);
  const auto fitted = RoundToInt32(corrected);
  if (!fitted) {
    ShowOutOfRange(dialog, label);
    return false;
  }
  total = *fitted;
  dialog.SetText(controlId, NumberString(total));
  return true;
}

std::optional<long double> ReadPoint(DialogPort& dialog, const std::string& text, std::string_view label) {
  const long double value = TextToNumber(text);
  if (std::isfinite(value)) return value;
  std::string message(label);
  message += " must be a finite number";
  dialog.ShowMessage(message, kWrongValueCaption, kMessageWarning);
  return std::nullopt;
}

}  // namespace

void CreateCells(DialogPort& dialog, std::string_view target, const CellTargets& targets) {
  const std::string startXText = dialog.GetText(IDC_STARTX);
  const std::string startYText = dialog.GetText(IDC_STARTY);
  const std::string widthTotalText = dialog.GetText(IDC_WIDTHTOTAL);
  const std::string heightTotalText = dialog.GetText(IDC_HEIGHTTOTAL);
  const std::string widthCellText = dialog.GetText(IDC_WIDTHCELL);
  const std::string heightCellText = dialog.GetText(IDC_HEIGHTCELL);
  const std::string angleText = dialog.GetText(IDC_ANGLE);
  const bool clockwise = dialog.IsChecked(IDC_CLOCKWISE);
  const bool counterClockwise = dialog.IsChecked(IDC_COUNTERCLOCKWISE);

  BlockSpec spec;
  const auto angle = ReadInteger(dialog, angleText, "Angle");
  if (!angle) return;
  const auto widthTotal = ReadInteger(dialog, widthTotalText, "Width Total");
  if (!widthTotal) return;
  const auto heightTotal = ReadInteger(dialog, heightTotalText, "Height Total");
  if (!heightTotal) return;
  const auto widthCell = ReadInteger(dialog, widthCellText, "Width Cell");
  if (!widthCell) return;
  const auto heightCell = ReadInteger(dialog, heightCellText, "Height Cell");
  if (!heightCell) return;
  spec.angle = *angle;
  spec.widthTotal = *widthTotal;
  spec.heightTotal = *heightTotal;
  spec.widthCell = *widthCell;
  spec.heightCell = *heightCell;

  if (!FitTotal(dialog, spec.widthTotal, spec.widthCell, kWidthChangedText, IDC_WIDTHTOTAL, "Width Total"))
    return;
  if (!FitTotal(dialog, spec.heightTotal, spec.heightCell, kHeightChangedText, IDC_HEIGHTTOTAL, "Height Total"))
    return;

  if (spec.angle < 0 || spec.angle > 90) {
    dialog.ShowMessage(kWrongAngleText, kWrongAngleCaption, kMessagePlain);
    return;
  }
  if (!clockwise && counterClockwise) spec.angle = 360 - spec.angle;

  const auto startX = ReadPoint(dialog, startXText, "X");
  if (!startX) return;
  const auto startY = ReadPoint(dialog, startYText, "Y");
  if (!startY) return;
  spec.startX = *startX;
  spec.startY = *startY;

  if (target == "screen") {
    if (targets.screen) targets.screen(spec);
  } else if (target == "save") {
    if (targets.save) targets.save(spec);
  }
}

}  // namespace tavimo
