#include "dialog/progress_timing.h"

namespace tavimo::dialog {
namespace {

int BarValue(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return ProgressTiming::kBarRange;
  return static_cast<int>(static_cast<long double>(done) / static_cast<long double>(total) *
                          ProgressTiming::kBarRange);
}

}  // namespace

bool ProgressTiming::Step(std::uint64_t done, std::uint64_t total) {
  if (cancelled_) return false;
  const std::chrono::milliseconds now = Now();
  if (!started_) {
    started_ = now;
    lastEvents_ = now;
    return true;
  }
  if (now - lastEvents_ < kEventsEvery) return true;
  lastEvents_ = now;

  if (!shown_ && !closed_ && now - *started_ >= kShowAfter) shown_ = OpenWindow();
  if (shown_) SetBar(BarValue(done, total));
  HandleEvents();
  return !cancelled_;
}

void ProgressTiming::Cancel() {
  cancelled_ = true;
  Hide();
}

void ProgressTiming::CloseForGood() {
  closed_ = true;
  Hide();
}

void ProgressTiming::Hide() {
  if (!shown_) return;
  shown_ = false;
  HideWindow();
}

}  // namespace tavimo::dialog
