#pragma once
// The block for GIS programs: a layer "cells" with one polygon per cell
// (column, row, label, label_x, label_y), and in a GeoPackage also a layer
// "grid_lines" with the grid's lines. Written through GDAL; a build without
// GDAL offers none of it (GisAvailable()).

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
// its .shx, .dbf, .prj and .cpg beside it, same stem, each extension in the
// case of the .shp's extension letter by letter where it has a counterpart
// (.SHP -> .SHX/.DBF/.PRJ/.CPG). A Shapefile without a coordinate reference
// system has no .prj: a caller that replaces an older dataset removes the
// old .prj, which would otherwise lend the new cells its CRS.
std::vector<std::string> GisDatasetFiles(std::string_view path, GisFormat format);

// Nothing when GDAL accepts `srs` (OGRSpatialReference::SetFromUserInput),
// else GDAL's reason in English.
std::optional<std::string> CheckSrs(const std::string& srs);

struct GisOutcome {
  enum class Kind { kWritten, kCancelled, kRefused, kFailed };
  Kind kind = Kind::kWritten;
  std::string message;  // kRefused: why (a sentence for the user); kFailed: GDAL's reason
  int error = 0;        // an errno value when one is known (ENOSPC...), else 0
};

// Writes the block as a NEW dataset at `path` in `format` (none of its files
// exists yet: the caller passes a temporary name such as
// "/dir/.tavimo-ab12cd.gpkg" and renames every file of GisDatasetFiles into
// place afterwards). An empty `srs` leaves the CRS unknown. `progress` (may
// be null) hears of the features written now and then, like the other
// writers (Progress::Step(done, total)); a false answer cancels. kRefused
// (before anything is created) when the cells have no area, when they are
// too small for double-precision coordinates so far from the origin, or when
// the format cannot name `srs`; on anything but kWritten every file it
// created is removed.
GisOutcome WriteGisDataset(const std::string& path, GisFormat format, const BlockSpec& spec,
                           const std::string& srs, Progress* progress);

}  // namespace tavimo
