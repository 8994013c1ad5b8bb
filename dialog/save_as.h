#pragma once
// The save behind "Save Cells" and "&Save As": the Save As dialog's
// settings, the same in both dialogs, and the command that asks for a
// path, saves and tells.

#include <string>
#include <string_view>

#include "dialog/dialog_host.h"
#include "export/save_block.h"

namespace tavimo::dialog {

inline constexpr std::string_view kSaveInitialName = "*.dxf";
inline constexpr std::string_view kSaveDefaultExtension = "dxf";
// The Save As filter, "Name|pattern|Name|pattern...": the GIS entries
// follow where this build writes them.
std::string SaveFilter();

// Asks for a path, saves, and shows what NoticeFor gives.
SaveOutcome SaveBlock(DialogHost& dialog, const BlockSpec& spec, Progress* progress = nullptr);

}  // namespace tavimo::dialog
