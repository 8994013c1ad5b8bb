#include "app/cell_request.h"

#include "dialog/dialog_texts.h"
#include "export/save_block.h"
#include "model/create_cells.h"
#include "preview/draw_preview.h"
#include "preview/pixel_surface.h"

namespace tavimo::app {

void RunCellRequest(RequestHost& host, std::string_view target, bool& running) {
  if (host.Ending()) return;
  if (running) {
    host.PointAtRunningRequest();
    return;
  }
  running = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running};

  CellTargets targets;
  // A cancelled preview keeps what it drew so far on the screen and leaves
  // the save controls as they were; a cancelled save leaves no file.
  targets.screen = [&host](const BlockSpec& spec) {
    if (host.Ending()) return;
    host.RunWithProgress(dialog::kDrawingLabel, [&](Progress& progress) {
      if (DrawPreview(host.Surface(), spec, &progress)) host.EnableSaving();
    });
  };
  targets.save = [&host](const BlockSpec& spec) {
    if (host.Ending()) return;
    host.RunWithProgress(dialog::kSavingLabel, [&](Progress& progress) { (void)SaveBlock(host.Saving(), spec, &progress); });
  };
  CreateCells(host.Fields(), target, targets);
}

}  // namespace tavimo::app
