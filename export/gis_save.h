#pragma once
// Saving a GIS dataset with the promises of every save: written under
// temporary names beside the targets, all files renamed into place together.

#include <string>
#include <vector>

#include "export/file_naming.h"
#include "export/save_block.h"

namespace tavimo {

bool GisFormatsAvailable();
std::vector<std::string> GisFilesOf(const std::string& path);
SaveOutcome SaveGis(const std::string& path, SaveFormat format, const BlockSpec& spec, Progress* progress,
                    const std::string& srs);

}  // namespace tavimo
