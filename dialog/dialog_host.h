#pragma once
// What a Create Cells or Save Cells request needs of a dialog. Each dialog
// (Qt, Win32) implements it once; the requests themselves (create_cells.h,
// save_as.h) are plain C++ over it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/block_fields.h"
#include "model/notice.h"
#include "model/progress.h"
#include "model/read_block.h"

namespace tavimo {
class PreviewSurface;
}

namespace tavimo::dialog {

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // The fields and the two direction buttons, as the block model reads and
  // corrects them.
  virtual std::string GetText(Field field) = 0;
  virtual void SetText(Field field, std::string_view text) = 0;
  virtual bool IsClockwise() = 0;
  virtual bool IsCounterClockwise() = 0;
  // The choices of the Options window; all off unless the user turned one
  // on, and then the block is exactly what the fields describe.
  virtual BlockOptions Options() { return {}; }
  // The coordinate reference system of the GIS saves (Options); empty: none.
  virtual std::string Srs() { return {}; }
  // Shows a message box; returns once the user has closed it.
  virtual void ShowNotice(const Notice& notice) = 0;
  // Runs the Save As dialog (save_as.h gives its settings): the chosen full
  // path, or nothing on cancel.
  virtual std::optional<std::string> AskSaveFileName(std::string_view initialName, std::string_view filter,
                                                     std::string_view defaultExtension) = 0;
  // Runs `work` with a progress window that appears when it takes long.
  virtual void RunWithProgress(const char* label, const std::function<void(Progress&)>& work) = 0;
  // The first finished preview enables "Save Cells" and "&Save As".
  virtual void EnableSaving() = 0;
  // What the preview draws on.
  virtual PreviewSurface& Preview() = 0;
  // The program is ending: nothing more is drawn, saved or asked.
  virtual bool Ending() const = 0;
  // Brings forward what the running request has open (its message boxes,
  // its progress window).
  virtual void PointAtRunningRequest() = 0;

  // True while a request runs: its message boxes or the Save As dialog may
  // be open. CreateCells keeps it.
  bool RequestRunning() const { return requestRunning_; }

 private:
  friend class RunningRequest;
  bool requestRunning_ = false;
};

}  // namespace tavimo::dialog
