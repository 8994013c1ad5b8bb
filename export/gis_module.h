#pragma once
// The GDAL side of the GIS writer lives in a module of its own
// (libtavimo_gis.so), loaded the first time a GIS format is asked for: GDAL
// and the hundred libraries it brings cost every start of the programs
// tens of milliseconds, and most runs never write a GIS file.

#include <optional>
#include <string>

#include "export/gis_writer.h"

namespace tavimo {

// What the module hands over, by the one symbol it exports.
struct GisModule {
  bool (*available)();
  std::optional<std::string> (*checkSrs)(const std::string& srs);
  SaveOutcome (*write)(const SaveTarget& target, const CellBlock& spec, const std::string& srs, Progress* progress,
                       CellFilter* clip, bool cellCentres);
  ClipArea (*openClipArea)(const ClipSource& source, const CellBlock& block, const std::string& srs);
};

inline constexpr char kGisModuleEntry[] = "TavimoGisModule";
using GisModuleEntry = const GisModule* (*)();

}  // namespace tavimo
