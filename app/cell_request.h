#pragma once
// What "Create Cells", "Save Cells" and "&Save As" do, the same in both
// dialogs (Qt and Win32): each dialog supplies its windows, the request
// itself is this one piece of plain C++.

#include <functional>
#include <string_view>

#include "model/progress.h"

namespace tavimo {
class DialogPort;
class SavePort;
class PixelSurface;
}  // namespace tavimo

namespace tavimo::app {

class RequestHost {
 public:
  virtual ~RequestHost() = default;
  // The program is ending: nothing more is drawn, saved or asked.
  virtual bool Ending() const = 0;
  // Brings forward what the running request has open (its message boxes,
  // its progress window).
  virtual void PointAtRunningRequest() = 0;
  // Runs `work` with a progress window that appears when it takes long.
  virtual void RunWithProgress(const char* label, const std::function<void(Progress&)>& work) = 0;
  // The first finished preview enables "Save Cells" and "&Save As".
  virtual void EnableSaving() = 0;
  virtual DialogPort& Fields() = 0;
  virtual SavePort& Saving() = 0;
  virtual PixelSurface& Surface() = 0;
};

// Runs one request for `target` ("screen" or "save"). One at a time: the
// message boxes of a running request leave the dialog usable, and a second
// request nested inside it would interleave its boxes and drawing with the
// first's, so a click meanwhile only points at the running one. `running`
// is the host's flag for that.
void RunCellRequest(RequestHost& host, std::string_view target, bool& running);

}  // namespace tavimo::app
