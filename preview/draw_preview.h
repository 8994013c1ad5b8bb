#pragma once
#include "model/cell_block.h"
#include "model/progress.h"
#include "preview/preview_surface.h"

namespace tavimo {

// What the preview needs of the dialog besides the surface: enabling the
// "Save Cells" button and the "&Save As" menu command after a preview.
class SaveControlsPort {
 public:
  virtual ~SaveControlsPort() = default;
  virtual void EnableSaveAs() = 0;      // menu command IDM_SAVEAS
  virtual void EnableSaveCells() = 0;   // button IDC_SAVECELLS
};

// Draws the block's grid lines, scaled to fit and centred, in blue on white,
// then enables the save controls. `progress` (may be null) can cancel a long
// drawing; a cancelled preview shows what was drawn so far, leaves the save
// controls as they were and returns false.
bool DrawPreview(PreviewSurface& surface, SaveControlsPort& controls, const BlockSpec& spec,
                 Progress* progress = nullptr);

}  // namespace tavimo
