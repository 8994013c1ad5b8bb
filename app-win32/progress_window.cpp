#include "app-win32/progress_window.h"

#include <commctrl.h>

#include "app-win32/dialog_template.h"
#include "dialog/dialog_layout.h"
#include "platform/wide_text.h"

namespace tavimo::win32 {
namespace {

constexpr int kLabelId = 100;
constexpr int kBarId = 101;

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, std::wstring label) : owner_(owner), label_(std::move(label)) {}

ProgressWindow::~ProgressWindow() {
  Hide();
  if (window_ != nullptr) DestroyWindow(window_);
}

std::chrono::milliseconds ProgressWindow::Now() { return std::chrono::milliseconds(GetTickCount64()); }

void ProgressWindow::SetBar(int value) {
  SendDlgItemMessageW(window_, kBarId, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void ProgressWindow::HandleEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the loop that runs the program; the work stops.
      PostQuitMessage(static_cast<int>(msg.wParam));
      StopWork();
      return;
    }
    if (Shown() && IsDialogMessageW(window_, &msg)) continue;
    if (owner_ != nullptr && IsDialogMessageW(owner_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool ProgressWindow::OpenWindow() {
  if (window_ == nullptr) {
    DialogTemplate t(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 200, 58,
                     Wide(dialog::kDialogCaption), L"MS Sans Serif", 8);
    t.Add(kLabelId, ControlClass::kStatic, label_, WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 7, 7, 186, 9);
    t.Add(kBarId, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 7, 20, 186, 10);
    t.Add(IDCANCEL, ControlClass::kButton, L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
          143, 37, 50, 14);
    window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner_, Proc,
                                         reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return false;
    SendDlgItemMessageW(window_, kBarId, PBM_SETRANGE32, 0, kBarRange);
  }
  // Blocks the main window only: a second request cannot start from it,
  // yet other programs stay usable.
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOW);
  return true;
}

void ProgressWindow::HideWindow() {
  // The owner first, so that it, not another program, becomes active.
  if (owner_ != nullptr) EnableWindow(owner_, TRUE);
  ShowWindow(window_, SW_HIDE);
}

INT_PTR CALLBACK ProgressWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    return TRUE;
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return FALSE;
  // Cancel, Escape and the close command all stop the work.
  if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
    self->Cancel();
    return TRUE;
  }
  return FALSE;
}

}  // namespace tavimo::win32
