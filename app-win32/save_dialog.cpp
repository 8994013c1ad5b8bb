#include "app-win32/save_dialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/wide_text.h"
#include "dialog/dialog_texts.h"
#include "export/save_block.h"
#include "platform/platform.h"

namespace tavimo::win32 {
namespace {

struct DialogState {
  std::string filter;
  std::string defaultExtension;
  std::string chosen;
};

std::vector<std::string_view> SplitFilter(std::string_view filter) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t bar = filter.find('|', at);
    parts.push_back(filter.substr(at, bar - at));
    if (bar == std::string_view::npos) return parts;
    at = bar + 1;
  }
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension a name typed without one gets with entry `index` (from 1)
// of the filter chosen: its pattern's, when that names one ("*.cht" ->
// "cht"), else the default extension.
std::string ExtensionForEntry(std::string_view filter, unsigned index, std::string_view defaultExtension) {
  const std::vector<std::string_view> parts = SplitFilter(filter);
  const std::size_t at = 2 * static_cast<std::size_t>(index) - 1;
  if (index >= 1 && at < parts.size()) {
    const std::string_view pattern = parts[at];
    if (pattern.size() > 2 && pattern.substr(0, 2) == "*." &&
        pattern.find_first_of("*?;", 2) == std::string_view::npos)
      return std::string(pattern.substr(2));
  }
  return std::string(defaultExtension);
}

// The dialog itself checks neither the extension nor the companion files;
// this runs when the user has chosen a name, before the dialog closes.
// Refusing keeps the dialog open.
bool Accept(HWND dialog, const OPENFILENAMEW& ofn, DialogState& state) {
  std::string path = Utf8(ofn.lpstrFile);
  if (FileNameOf(path).find('.') == std::string::npos)
    path += "." + ExtensionForEntry(state.filter, ofn.nFilterIndex, state.defaultExtension);

  std::vector<std::string> existing;
  for (const std::string& file : FilesOfSave(path)) {
    if (platform::PathExists(file)) existing.push_back(FileNameOf(file));
  }
  if (!existing.empty()) {
    wchar_t title[128] = L"";
    GetWindowTextW(dialog, title, 128);
    const int answer = MessageBoxW(dialog, Wide(dialog::ReplaceQuestion(existing)).c_str(), title,
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (answer != IDYES) return false;
  }
  state.chosen = path;
  return true;
}

UINT_PTR CALLBACK Hook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(child, GWLP_USERDATA, lParam);
    return 0;
  }
  if (message != WM_NOTIFY) return 0;
  const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
  if (notify->hdr.code != CDN_FILEOK) return 0;
  const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(GetWindowLongPtrW(child, GWLP_USERDATA));
  auto* state = reinterpret_cast<DialogState*>(ofn->lCustData);
  // The hook's window is a child of the dialog the user sees.
  const bool accepted = Accept(GetParent(child), *notify->lpOFN, *state);
  SetWindowLongPtrW(child, DWLP_MSGRESULT, accepted ? 0 : 1);
  return accepted ? 0 : 1;
}

}  // namespace

std::optional<std::string> RunSaveDialog(HWND owner, std::string_view initialName, std::string_view filter,
                                         std::string_view defaultExtension) {
  DialogState state{std::string(filter), std::string(defaultExtension), {}};
  // The entries separated by NULs, the list ended by two.
  std::wstring filters = Wide(filter);
  for (wchar_t& c : filters) {
    if (c == L'|') c = L'\0';
  }
  filters.push_back(L'\0');

  std::vector<wchar_t> name(32768, L'\0');
  const std::wstring initial = Wide(initialName);
  initial.copy(name.data(), name.size() - 1);
  std::vector<wchar_t> folder(32768, L'\0');
  GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrInitialDir = folder.data();
  // No default extension and no overwrite prompt of the system's: the hook
  // adds the chosen entry's extension and asks about every file replaced.
  // The working directory stays where it was.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_ENABLEHOOK |
              OFN_ENABLESIZING;
  ofn.lpfnHook = Hook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&state);
  if (!GetSaveFileNameW(&ofn) || state.chosen.empty()) return std::nullopt;
  return state.chosen;
}

}  // namespace tavimo::win32
