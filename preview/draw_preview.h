#pragma once
#include "model/cell_block.h"
#include "model/progress.h"
#include "preview/preview_surface.h"

namespace tavimo {

// Draws the block's grid lines, scaled to fit and centred, in blue on white.
// True when the drawing is complete (the dialog then enables saving).
// `progress` (may be null) can cancel a long drawing: a cancelled preview
// shows what was drawn so far and returns false.
[[nodiscard]] bool DrawPreview(PreviewSurface& surface, const BlockSpec& spec, Progress* progress = nullptr);

}  // namespace tavimo
