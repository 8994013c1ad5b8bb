#pragma once
// The requests behind "Create Cells", "Save Cells" and "&Save As", the same
// in both dialogs: the fields read and checked, what was corrected or
// refused told, then the block drawn in the preview or saved.

#include <string_view>

#include "dialog/dialog_host.h"

namespace tavimo::dialog {

enum class CellTarget { kScreen, kSave };

// Runs one request: reads the fields afresh, shows the notices in order
// (writing each corrected total back right after its "Size changed..."
// notice), then draws the block (kScreen; a finished preview enables
// saving) or saves it (kSave), with a progress window when that takes long.
// A cancelled preview keeps what it drew; a cancelled save leaves no file.
// Nothing once the program is ending.
// One at a time: the message boxes of a running request leave the dialog
// usable, and a second request nested inside it would interleave its boxes
// and drawing with the first's, so a request meanwhile only points at the
// running one.
void CreateCells(DialogHost& dialog, CellTarget target);

// The same for the target named "screen" or "save", byte for byte. Any
// other word reads and checks the fields as a request does and takes the
// block nowhere.
void CreateCells(DialogHost& dialog, std::string_view target);

}  // namespace tavimo::dialog
