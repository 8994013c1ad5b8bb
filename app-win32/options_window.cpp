#include "app-win32/options_window.h"

#include <string>

#include "app-win32/main_layout.h"
#include "dialog/dialog_ids.h"
#include "dialog/options_window.h"
#include "dialog/window_placement.h"
#include "platform/wide_text.h"

namespace tavimo::win32 {
namespace {

using namespace dialog;

class OptionsWindow final : private OptionsForm {
 public:
  OptionsWindow(OptionsStore& store, const ShowMessageFunction& showMessage)
      : store_(store), showMessage_(showMessage) {}

  void Run(HWND owner) {
    const DialogTemplate layout = OptionsDialogTemplate();
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner, Proc, reinterpret_cast<LPARAM>(this));
  }

 private:
  bool IsChecked(int id) override { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void SetChecked(int id, bool checked) override { CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
  std::string GetText(int id) override {
    const HWND edit = GetDlgItem(window_, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
  }
  void SetText(int id, std::string_view text) override { SetDlgItemTextW(window_, id, Wide(text).c_str()); }
  int GetChoice(int id) override { return static_cast<int>(SendDlgItemMessageW(window_, id, CB_GETCURSEL, 0, 0)); }
  void SetChoice(int id, int index) override {
    SendDlgItemMessageW(window_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void Enable(int id, bool enabled) override { EnableWindow(GetDlgItem(window_, id), enabled ? TRUE : FALSE); }
  // As the dialog manager moves the focus, so that the default button stays right.
  void Focus(int id) override {
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, id)), TRUE);
  }
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override {
    showMessage_(text, caption, style);
  }

  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      auto* self = reinterpret_cast<OptionsWindow*>(lParam);
      self->window_ = window;
      self->AddListItems();
      ShowChoices(*self, self->store_.Choices());
      self->CentreOnOwner();
      return TRUE;  // the focus on the first control
    }
    auto* self = reinterpret_cast<OptionsWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
      case IDC_DECIMALS:
      case IDC_BASELINE:
      case IDC_COUNTS:
      case IDC_LABELS:
        if (HIWORD(wParam) == BN_CLICKED) FollowChecks(*self);
        return TRUE;
      case IDC_OPTIONSOK:
        if (AcceptOptions(*self, self->store_)) EndDialog(window, IDOK);
        return TRUE;
      case IDC_OPTIONSCANCEL:
        EndDialog(window, IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  }

  // A template holds no items of its combo boxes.
  void AddListItems() {
    for (const ControlDef& c : OptionsControls())
      for (const char* item : OptionsListItems(c.id))
        SendDlgItemMessageW(window_, c.id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  }

  // Centred on the main dialog, as far as the screen's work area allows.
  void CentreOnOwner() {
    RECT own{}, owner{};
    GetWindowRect(window_, &own);
    GetWindowRect(GetWindow(window_, GW_OWNER), &owner);
    const Rect frame{static_cast<int>((owner.left + owner.right - (own.right - own.left)) / 2),
                     static_cast<int>((owner.top + owner.bottom - (own.bottom - own.top)) / 2),
                     static_cast<int>(own.right - own.left), static_cast<int>(own.bottom - own.top)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    Point place{frame.x, frame.y};
    if (GetMonitorInfoW(MonitorFromRect(&owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& work = monitor.rcWork;
      place = PlaceInside(frame, {static_cast<int>(work.left), static_cast<int>(work.top),
                                  static_cast<int>(work.right - work.left), static_cast<int>(work.bottom - work.top)});
    }
    SetWindowPos(window_, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  OptionsStore& store_;
  const ShowMessageFunction& showMessage_;
  HWND window_ = nullptr;
};

}  // namespace

void RunOptionsWindow(HWND owner, OptionsStore& store, const ShowMessageFunction& showMessage) {
  OptionsWindow(store, showMessage).Run(owner);
}

}  // namespace tavimo::win32
