#include "model/create_cells.h"

#include "model/read_block.h"

namespace tavimo {

void CreateCells(DialogPort& dialog, std::string_view target, const CellTargets& targets) {
  FieldTexts fields;
  for (const FieldInfo& info : kFields) fields[info.field] = dialog.GetText(info.field);
  fields.clockwise = dialog.IsClockwise();
  fields.counterClockwise = dialog.IsCounterClockwise();

  const BlockReading reading = ReadBlock(fields);
  for (const Notice& notice : reading.notices) {
    dialog.ShowNotice(notice);
    const Field corrected = notice.id == NoticeId::kWidthChanged ? Field::kWidthTotal : Field::kHeightTotal;
    if (notice.id != NoticeId::kWidthChanged && notice.id != NoticeId::kHeightChanged) continue;
    for (const Correction& correction : reading.corrections)
      if (correction.field == corrected) dialog.SetText(corrected, correction.text);
  }
  if (!reading.spec) return;

  if (target == "screen") {
    if (targets.screen) targets.screen(*reading.spec);
  } else if (target == "save") {
    if (targets.save) targets.save(*reading.spec);
  }
}

}  // namespace tavimo
