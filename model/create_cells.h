#pragma once
// CreateCells: the dialog-shaped request of the "Create Cells" and "Save
// Cells" commands, a thin layer over ReadBlock for front ends that work
// with a dialog's fields.

#include <functional>
#include <string>
#include <string_view>

#include "model/block_fields.h"
#include "model/cell_block.h"
#include "model/notice.h"

namespace tavimo {

// What CreateCells needs of a dialog: its fields, its direction buttons and
// a way to show a notice (returning once the user has seen it).
class DialogPort {
 public:
  virtual ~DialogPort() = default;
  virtual std::string GetText(Field field) = 0;
  virtual void SetText(Field field, std::string_view text) = 0;
  virtual bool IsClockwise() = 0;
  virtual bool IsCounterClockwise() = 0;
  virtual void ShowNotice(const Notice& notice) = 0;
};

// The receivers of a finished block: the preview for "screen", the save
// command for "save".
struct CellTargets {
  std::function<void(const BlockSpec&)> screen;
  std::function<void(const BlockSpec&)> save;
};

// Reads the fields afresh, shows the notices in order (writing each
// corrected total back right after its "Size changed..." notice), then
// hands the block to the receiver `target` names ("screen" or "save", byte
// for byte); any other word does nothing.
void CreateCells(DialogPort& dialog, std::string_view target, const CellTargets& targets);

}  // namespace tavimo
