#pragma once
// The progress window of a long preview or save, apart from its toolkit:
// when it appears, what its bar shows, when it goes. Each dialog's progress
// window derives from it and supplies the clock, the window and the
// handling of events.

#include <chrono>
#include <cstdint>
#include <optional>

#include "model/progress.h"

namespace tavimo::dialog {

class ProgressTiming : public Progress {
 public:
  // Work shorter than this shows no window at all.
  static constexpr std::chrono::milliseconds kShowAfter{500};
  // Events (painting, the Cancel button) are handled at most this often:
  // more often would slow the work, less often makes the windows sluggish.
  static constexpr std::chrono::milliseconds kEventsEvery{50};
  // The bar's range: fine enough for a smooth bar, far from overflow
  // whatever the item count.
  static constexpr int kBarRange = 1000;

  // Handles the events now and then, and answers false once the work is
  // cancelled. The first call starts the clock: a Save As dialog before the
  // work does not count.
  bool Step(std::uint64_t done, std::uint64_t total) final;

  // Stops the work at its next step and takes the window away (its Cancel
  // button, or the program is ending).
  void Cancel();
  // Takes the window away for good while the work goes on to its end: the
  // work has a message to show, which the window must neither hide nor block.
  void CloseForGood();
  bool Cancelled() const { return cancelled_; }
  bool Shown() const { return shown_; }

 protected:
  // A steady clock.
  virtual std::chrono::milliseconds Now() = 0;
  // Brings the window up; false where it could not be made (the next
  // handling of events tries again).
  virtual bool OpenWindow() = 0;
  virtual void HideWindow() = 0;
  // The bar's value, 0 to kBarRange.
  virtual void SetBar(int value) = 0;
  // Paints the windows and lets Cancel be clicked; a click on the main
  // window gets through too, before the progress window appears.
  virtual void HandleEvents() = 0;

  // The work stops at its next step; the window stays as it is.
  void StopWork() { cancelled_ = true; }
  // Takes the window away, where it is up.
  void Hide();

 private:
  std::optional<std::chrono::milliseconds> started_;
  std::chrono::milliseconds lastEvents_{0};
  bool shown_ = false;
  bool cancelled_ = false;
  bool closed_ = false;
};

}  // namespace tavimo::dialog
