#pragma once
// Progress of a long preview or save: a small window with a bar and
// Cancel that appears only once the work has taken a while. The work runs
// on the window's own thread; each step lets the windows handle their
// messages now and then, so they paint and answer while it runs.

#include <windows.h>

#include <cstdint>
#include <string>

#include "model/progress.h"

namespace tavimo::win32 {

class ProgressWindow final : public Progress {
 public:
  // Work shorter than this shows no window at all.
  static constexpr ULONGLONG kShowAfterMs = 500;
  // Messages are handled at most this often: more often would slow the
  // work, less often makes the windows sluggish.
  static constexpr ULONGLONG kEventsEveryMs = 50;

  // `owner` is the window it blocks while shown; `label` its text.
  ProgressWindow(HWND owner, std::wstring label);
  ~ProgressWindow() override;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Handles messages now and then; false once the user cancelled (or
  // Cancel() was called). The first call starts the clock: a Save As
  // dialog before the work does not count.
  bool Step(std::uint64_t done, std::uint64_t total) override;

  // Stops the work at its next step (the program is ending).
  void Cancel();
  // Takes the window away for good while the work goes on to its end: the
  // work has a message to show, which the window must neither hide nor block.
  void CloseForGood();
  // The window while it is shown, else null.
  HWND Window() const { return shown_ ? window_ : nullptr; }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Show();
  void Hide();
  void HandleMessages();

  HWND owner_;
  std::wstring label_;
  ULONGLONG started_ = 0;
  ULONGLONG lastEvents_ = 0;
  HWND window_ = nullptr;
  bool shown_ = false;
  bool cancelled_ = false;
  bool closed_ = false;
};

}  // namespace tavimo::win32
