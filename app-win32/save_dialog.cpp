#include "app-win32/save_dialog.h"

#include <commdlg.h>

#include <vector>

#include "dialog/save_as.h"
#include "platform/platform.h"
#include "platform/wide_text.h"

namespace tavimo::win32 {
namespace {

struct DialogState {
  std::string filter;
  std::string defaultExtension;
  std::string chosen;
};

// Where the file name begins: after the last \ or /.
std::size_t NameStart(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

// The dialog itself checks neither the extension nor the companion files;
// this runs when the user has chosen a name, before the dialog closes.
// Refusing keeps the dialog open.
bool Accept(HWND dialog, const OPENFILENAMEW& ofn, DialogState& state) {
  const std::string typed = Utf8(ofn.lpstrFile);
  const std::size_t nameAt = NameStart(typed);
  // nFilterIndex counts from 1; 0 (no entry) wraps past the last one.
  const std::string extension = dialog::ExtensionForEntry(
      state.filter, static_cast<std::size_t>(ofn.nFilterIndex) - 1, state.defaultExtension);
  const std::string path = typed.substr(0, nameAt) + dialog::NameWithExtension(typed.substr(nameAt), extension);

  if (const auto question = dialog::ReplaceQuestionFor(path, platform::PathExists, FileNameOf)) {
    wchar_t title[128] = L"";
    GetWindowTextW(dialog, title, 128);
    const int answer =
        MessageBoxW(dialog, Wide(*question).c_str(), title, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
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
