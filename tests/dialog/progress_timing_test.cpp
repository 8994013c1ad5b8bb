// When the progress window appears, what its bar shows, when it goes.

#include "dialog/progress_timing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tavimo::dialog {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

// A progress window on a clock the test sets, recording what is done to it.
class ScriptedWindow : public ProgressTiming {
 public:
  std::chrono::milliseconds now = 10s;
  bool canOpen = true;
  std::function<void()> duringEvents;
  Events events;

  // One step of the work at `at` past the first.
  bool StepAt(std::chrono::milliseconds at, std::uint64_t done = 1, std::uint64_t total = 4) {
    now = 10s + at;
    return Step(done, total);
  }

 private:
  std::chrono::milliseconds Now() override { return now; }
  bool OpenWindow() override {
    events.push_back("open");
    return canOpen;
  }
  void HideWindow() override { events.push_back("hide"); }
  void SetBar(int value) override { events.push_back("bar " + std::to_string(value)); }
  void HandleEvents() override {
    events.push_back("events");
    if (duringEvents) duringEvents();
  }
};

TEST(ProgressTiming, EventsEveryFiftyMillisecondsTheWindowAfterHalfASecond) {
  ScriptedWindow window;
  EXPECT_TRUE(window.StepAt(0ms));  // starts the clock only
  EXPECT_TRUE(window.StepAt(49ms));
  EXPECT_TRUE(window.events.empty());
  EXPECT_TRUE(window.StepAt(50ms));
  EXPECT_TRUE(window.StepAt(450ms));
  EXPECT_EQ(window.events, (Events{"events", "events"}));
  EXPECT_FALSE(window.Shown());

  window.events.clear();
  EXPECT_TRUE(window.StepAt(500ms, 1, 4));
  EXPECT_TRUE(window.Shown());
  EXPECT_TRUE(window.StepAt(550ms, 1ull << 63, ~0ull));
  EXPECT_TRUE(window.StepAt(600ms, 4, 4));
  EXPECT_TRUE(window.StepAt(650ms, 0, 0));
  EXPECT_EQ(window.events, (Events{"open", "bar 250", "events", "bar 500", "events", "bar 1000", "events",
                                   "bar 1000", "events"}));
}

// Cancel stops the work and takes the window away; the work's own message
// closes it for good while the work goes on. Before the window appeared,
// there is nothing to take away.
TEST(ProgressTiming, CancelAndCloseForGoodTakeTheWindowAway) {
  ScriptedWindow clicked;
  clicked.StepAt(0ms);
  clicked.StepAt(500ms);
  clicked.duringEvents = [&] { clicked.Cancel(); };
  EXPECT_FALSE(clicked.StepAt(550ms));
  EXPECT_FALSE(clicked.StepAt(600ms));
  EXPECT_TRUE(clicked.Cancelled());
  EXPECT_EQ(clicked.events, (Events{"open", "bar 250", "events", "bar 250", "events", "hide"}));

  ScriptedWindow closed;
  closed.canOpen = false;  // tried again at the next step
  closed.StepAt(0ms);
  closed.StepAt(500ms);
  closed.canOpen = true;
  closed.StepAt(550ms);
  closed.CloseForGood();
  closed.CloseForGood();
  EXPECT_TRUE(closed.StepAt(5s));
  EXPECT_EQ(closed.events, (Events{"open", "events", "open", "bar 250", "events", "hide", "events"}));

  ScriptedWindow early;
  early.StepAt(0ms);
  early.Cancel();
  EXPECT_FALSE(early.StepAt(600ms));
  EXPECT_TRUE(early.events.empty());
}

}  // namespace
}  // namespace tavimo::dialog
