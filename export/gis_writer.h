#pragma once
// GIS datasets of a block through GDAL: a layer "cells" with one attributed
// polygon per cell (and, in a GeoPackage, a layer "grid_lines").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cell_block.h"
#include "model/progress.h"

namespace tavimo {

enum class GisFormat { kGeoPackage, kGeoJson, kShapefile };

// Whether this build can write GIS formats (built with GDAL).
bool GisAvailable();

// The GIS format named by the path's final extension, compared without
// regard to case (.gpkg, .geojson, .shp), or nothing.
std::optional<GisFormat> GisFormatOfPath(std::string_view path);

// Every file a dataset at `path` consists of, `path` first: for a Shapefile
// its .shx, .dbf, .prj and .cpg beside it.
std::vector<std::string> GisDatasetFiles(std::string_view path, GisFormat format);

// Nothing when GDAL accepts `srs`, else GDAL's reason.
std::optional<std::string> CheckSrs(const std::string& srs);

struct GisOutcome {
  enum class Kind { kWritten, kCancelled, kRefused, kFailed };
  Kind kind = Kind::kWritten;
  std::string message;  // kRefused: why; kFailed: GDAL's reason
  int error = 0;        // an errno value when one is known, else 0
};

// Writes the block as a new dataset at `path` (none of its files exists).
// An empty `srs` leaves the CRS unknown. On anything but kWritten every
// file it created is removed.
GisOutcome WriteGisDataset(const std::string& path, GisFormat format, const BlockSpec& spec,
                           const std::string& srs, Progress* progress);

}  // namespace tavimo
