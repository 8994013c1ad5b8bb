#pragma once
#include "model/cell_block.h"
#include "model/progress.h"
#include "preview/preview_surface.h"

namespace tavimo {

// Draws the block's grid lines, scaled to fit and centred, in blue on white.
// Returns true when the drawing is complete: the caller then enables the
// save controls. `progress` (may be null) can cancel a long drawing; a
// cancelled preview shows what was drawn so far and returns false.
//
// The time taken follows the number of distinct lines drawn, not the number
// of grid lines: runs of lines that set the same pixels are drawn once.
[[nodiscard]] bool DrawPreview(PreviewSurface& surface, const CellBlock& spec, Progress* progress = nullptr);

}  // namespace tavimo
