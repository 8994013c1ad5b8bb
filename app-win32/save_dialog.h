#pragma once
// The Save As dialog behind the save command: the system's common dialog.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tavimo::win32 {

// Runs the Save As dialog over `owner` in the current working directory,
// with `initialName` in the name field and the first entry of `filter`
// ("Name|pattern|Name|pattern...") chosen. A name typed without an
// extension gets the one of the chosen entry (`defaultExtension` for an
// entry such as "*.*"), and one question names every existing file the
// save would replace. The chosen full path (UTF-8), or nothing on cancel.
std::optional<std::string> RunSaveDialog(HWND owner, std::string_view initialName, std::string_view filter,
                                         std::string_view defaultExtension);

}  // namespace tavimo::win32
