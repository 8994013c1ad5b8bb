#include "dialog/create_cells.h"

#include <optional>
#include <vector>

#include "dialog/dialog_texts.h"
#include "dialog/save_as.h"
#include "model/read_block.h"
#include "preview/draw_preview.h"

namespace tavimo::dialog {

// The host's flag while a request runs, cleared however the request ends.
class RunningRequest {
 public:
  explicit RunningRequest(DialogHost& dialog) : dialog_(dialog) { dialog_.requestRunning_ = true; }
  ~RunningRequest() { dialog_.requestRunning_ = false; }
  RunningRequest(const RunningRequest&) = delete;
  RunningRequest& operator=(const RunningRequest&) = delete;

 private:
  DialogHost& dialog_;
};

namespace {

std::optional<CellBlock> ReadFields(DialogHost& dialog) {
  FieldTexts fields;
  for (const FieldInfo& info : kFields) fields[info.field] = dialog.GetText(info.field);
  fields.clockwise = dialog.IsClockwise();
  fields.counterClockwise = dialog.IsCounterClockwise();

  const BlockReading reading = ReadBlock(fields, dialog.Options());
  std::vector<bool> written(reading.corrections.size(), false);
  auto writeBack = [&](Field field) {
    for (std::size_t i = 0; i < reading.corrections.size(); ++i) {
      if (reading.corrections[i].field != field || written[i]) continue;
      dialog.SetText(field, reading.corrections[i].text);
      written[i] = true;
    }
  };
  for (const Notice& notice : reading.notices) {
    dialog.ShowNotice(notice);
    if (notice.id == NoticeId::kWidthChanged) writeBack(Field::kWidthTotal);
    if (notice.id == NoticeId::kHeightChanged) writeBack(Field::kHeightTotal);
  }
  // Totals worked out from counts of cells show without a notice.
  for (const Correction& correction : reading.corrections) writeBack(correction.field);
  return reading.block;
}

void Request(DialogHost& dialog, std::optional<CellTarget> target) {
  if (dialog.Ending()) return;
  if (dialog.RequestRunning()) {
    dialog.PointAtRunningRequest();
    return;
  }
  const RunningRequest running(dialog);

  const std::optional<CellBlock> spec = ReadFields(dialog);
  // The program may have been ended while a notice was open.
  if (!spec || !target || dialog.Ending()) return;
  switch (*target) {
    case CellTarget::kScreen:
      dialog.RunWithProgress(kDrawingLabel, [&](Progress& progress) {
        if (DrawPreview(dialog.Preview(), *spec, &progress)) dialog.EnableSaving();
      });
      break;
    case CellTarget::kSave:
      dialog.RunWithProgress(kSavingLabel, [&](Progress& progress) { (void)SaveBlock(dialog, *spec, &progress); });
      break;
  }
}

}  // namespace

void CreateCells(DialogHost& dialog, CellTarget target) { Request(dialog, target); }

void CreateCells(DialogHost& dialog, std::string_view target) {
  if (target == "screen") {
    Request(dialog, CellTarget::kScreen);
  } else if (target == "save") {
    Request(dialog, CellTarget::kSave);
  } else {
    Request(dialog, std::nullopt);
  }
}

}  // namespace tavimo::dialog
