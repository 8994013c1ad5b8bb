#pragma once
// Progress of a long preview or save: a small window with a bar and
// Cancel that appears only once the work has taken a while (the timing is
// dialog/progress_timing.h's). The work runs on the window's own thread;
// each step lets the windows handle their messages now and then, so they
// paint and answer while it runs.

#include <windows.h>

#include <string>

#include "dialog/progress_timing.h"

namespace tavimo::win32 {

class ProgressWindow final : public dialog::ProgressTiming {
 public:
  // `owner` is the window it blocks while shown; `label` its text.
  ProgressWindow(HWND owner, std::wstring label);
  ~ProgressWindow() override;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // The window while it is shown, else null.
  HWND Window() const { return Shown() ? window_ : nullptr; }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::chrono::milliseconds Now() override;
  bool OpenWindow() override;
  void HideWindow() override;
  void SetBar(int value) override;
  void HandleEvents() override;

  HWND owner_;
  std::wstring label_;
  HWND window_ = nullptr;
};

}  // namespace tavimo::win32
