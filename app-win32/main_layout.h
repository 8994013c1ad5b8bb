#pragma once
// The main dialog as Windows builds it: its template from the shared
// control table (dialog/dialog_layout.h) and its menu bar; the Options
// window's template from its table (dialog/options_window.h).

#include <windows.h>

#include "app-win32/dialog_template.h"

namespace tavimo::win32 {

// The window icon's resource number.
inline constexpr int kProgramIcon = 105;

DialogTemplate MainDialogTemplate();
HMENU CreateMenuBar();
// The Options window (dialog/options_window.h), shown centred on its owner.
DialogTemplate OptionsDialogTemplate();

}  // namespace tavimo::win32
