#pragma once
// The Options window as Windows shows it: a modal dialog from the shared
// description (dialog/options_window.h), its logic left to the dialog layer.

#include <windows.h>

#include <functional>
#include <string_view>

#include "dialog/options_store.h"

namespace tavimo::win32 {

using ShowMessageFunction = std::function<void(std::string_view text, std::string_view caption, unsigned style)>;

// Runs the window over `owner` until OK (the choices handed to `store`),
// Cancel, Escape or its close button ends it. Messages go through
// `showMessage`, as the main dialog's do.
void RunOptionsWindow(HWND owner, dialog::OptionsStore& store, const ShowMessageFunction& showMessage);

}  // namespace tavimo::win32
