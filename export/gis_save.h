#pragma once
// Saving a GIS dataset with the promises of every save: written under
// temporary names beside the targets, all files renamed into place together.

#include <string>
#include <vector>

#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/cell_block.h"
#include "model/cell_filter.h"
#include "model/progress.h"
#include "output/atomic_file.h"

namespace tavimo {

bool GisFormatsAvailable();
// Files of an older Shapefile under other cases of the target's names
// ("t.shp", "t.shx" beside a new "t.SHP"), found on the disk. GDAL looks
// for a companion in lower case first, so the new set would be read with
// the old .shx and .dbf: these go with the old set, on file systems that
// tell case apart too. The stem keeps its case ("T.shp" is another
// dataset); a one-file format is read alone.
std::vector<std::string> CaseVariantsOf(const SaveTarget& target);
// `target` is of a GIS format.
SaveOutcome SaveGis(const SaveTarget& target, const CellBlock& spec, Progress* progress, const std::string& srs,
                    Existing existing = Existing::kReplace, CellFilter* clip = nullptr, bool cellCentres = false);

}  // namespace tavimo
