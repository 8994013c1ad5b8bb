#pragma once
// Saving a GIS dataset with the promises of every save: written under
// temporary names beside the targets, all files renamed into place together.

#include <string>

#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/cell_block.h"
#include "model/progress.h"
#include "output/atomic_file.h"

namespace tavimo {

bool GisFormatsAvailable();
// `target` is of a GIS format.
SaveOutcome SaveGis(const SaveTarget& target, const BlockSpec& spec, Progress* progress, const std::string& srs,
                    Existing existing = Existing::kReplace);

}  // namespace tavimo
