#pragma once
// A dialog as the requests see it: fields typed in advance, the Save As
// dialog answered from a list, and what a request does to the dialog
// recorded in order.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_host.h"
#include "preview/pixel_surface.h"

namespace tavimo::dialog::testing {

struct SaveAsk {
  std::string initialName, filter, defaultExtension;
};

class FakeHost : public DialogHost {
 public:
  FakeHost() {
    // As both dialogs set up their preview: one unit per pixel, y upward.
    surface.Attach(true);
    surface.SetScale(0, surface.ClientHeight(), surface.ClientWidth(), 0);
  }

  FieldTexts fields = FieldTexts::Initial();
  // The Save As dialog's answers in turn; none left: cancel.
  std::vector<std::optional<std::string>> answers;
  // The progress window's Cancel, pressed at the work's first step.
  bool cancelWork = false;
  bool ending = false;
  // Runs inside each notice, as a click while a message box is open would.
  std::function<void()> duringNotice;

  std::vector<std::string> events;
  std::vector<Notice> notices;
  std::vector<SaveAsk> asks;
  std::string srs;  // the Options window's coordinate system
  PixelSurface surface{200, 150};

  std::size_t BluePixels() const {
    return static_cast<std::size_t>(std::count(surface.pixels().begin(), surface.pixels().end(), 0x0000FFu));
  }

  std::string GetText(Field field) override { return fields[field]; }
  void SetText(Field field, std::string_view text) override {
    events.push_back("set " + std::string(InfoOf(field).label) + "=" + std::string(text));
    fields[field] = text;
  }
  bool IsClockwise() override { return fields.clockwise; }
  std::string Srs() override { return srs; }
  bool IsCounterClockwise() override { return fields.counterClockwise; }
  void ShowNotice(const Notice& notice) override {
    events.push_back("notice " + notice.caption);
    notices.push_back(notice);
    if (duringNotice) duringNotice();
  }
  std::optional<std::string> AskSaveFileName(std::string_view initialName, std::string_view filter,
                                             std::string_view defaultExtension) override {
    events.push_back("ask");
    asks.push_back({std::string(initialName), std::string(filter), std::string(defaultExtension)});
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void RunWithProgress(const char* label, const std::function<void(Progress&)>& work) override {
    events.push_back(std::string("progress ") + label);
    struct Window : Progress {
      bool cancel;
      bool Step(std::uint64_t, std::uint64_t) override { return !cancel; }
    } window;
    window.cancel = cancelWork;
    work(window);
  }
  void EnableSaving() override { events.push_back("enable saving"); }
  PreviewSurface& Preview() override { return surface; }
  bool Ending() const override { return ending; }
  void PointAtRunningRequest() override { events.push_back("point"); }
};

}  // namespace tavimo::dialog::testing
