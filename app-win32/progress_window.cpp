#include "app-win32/progress_window.h"

#include <commctrl.h>

#include "app-win32/dialog_template.h"
#include "platform/wide_text.h"
#include "dialog/dialog_layout.h"

namespace tavimo::win32 {
namespace {

constexpr int kLabelId = 100;
constexpr int kBarId = 101;
// The bar's range: fine enough for a smooth bar, far from overflow.
constexpr int kBarRange = 1000;

int BarValue(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return kBarRange;
  return static_cast<int>(static_cast<long double>(done) / static_cast<long double>(total) * kBarRange);
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, std::wstring label) : owner_(owner), label_(std::move(label)) {}

ProgressWindow::~ProgressWindow() {
  Hide();
  if (window_ != nullptr) DestroyWindow(window_);
}

bool ProgressWindow::Step(std::uint64_t done, std::uint64_t total) {
  if (cancelled_) return false;
  const ULONGLONG now = GetTickCount64();
  if (started_ == 0) {
    started_ = now;
    lastEvents_ = now;
    return true;
  }
  if (now - lastEvents_ < kEventsEveryMs) return true;
  lastEvents_ = now;

  if (!shown_ && !closed_ && now - started_ >= kShowAfterMs) Show();
  if (shown_) SendDlgItemMessageW(window_, kBarId, PBM_SETPOS, static_cast<WPARAM>(BarValue(done, total)), 0);
  // Painting, the Cancel button, and a click on the main window before the
  // progress window appears (the main window ignores a second request).
  HandleMessages();
  return !cancelled_;
}

void ProgressWindow::Cancel() {
  cancelled_ = true;
  Hide();
}

void ProgressWindow::CloseForGood() {
  closed_ = true;
  Hide();
}

void ProgressWindow::HandleMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the loop that runs the program; the work stops.
      PostQuitMessage(static_cast<int>(msg.wParam));
      cancelled_ = true;
      return;
    }
    if (shown_ && IsDialogMessageW(window_, &msg)) continue;
    if (owner_ != nullptr && IsDialogMessageW(owner_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ProgressWindow::Show() {
  if (window_ == nullptr) {
    DialogTemplate t(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 200, 58,
                     Wide(dialog::kDialogCaption), L"MS Sans Serif", 8);
    t.Add(kLabelId, ControlClass::kStatic, label_, WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 7, 7, 186, 9);
    t.Add(kBarId, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 7, 20, 186, 10);
    t.Add(IDCANCEL, ControlClass::kButton, L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
          143, 37, 50, 14);
    window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner_, Proc,
                                         reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return;
    SendDlgItemMessageW(window_, kBarId, PBM_SETRANGE32, 0, kBarRange);
  }
  // Blocks the main window only: a second request cannot start from it,
  // yet other programs stay usable.
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOW);
  shown_ = true;
}

void ProgressWindow::Hide() {
  if (!shown_) return;
  shown_ = false;
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
    self->cancelled_ = true;
    self->Hide();
    return TRUE;
  }
  return FALSE;
}

}  // namespace tavimo::win32
