#pragma once
// The block for GIS programs: a layer "cells" with one polygon per cell
// (column, row, label, label_x, label_y, label_angle: label_angl in a
// Shapefile), and in a GeoPackage also a layer
// "grid_lines" with the grid's lines. Written through GDAL; a build without
// GDAL offers none of it (GisAvailable()).

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/cell_block.h"
#include "model/cell_filter.h"
#include "model/progress.h"

namespace tavimo {

// Whether this build can write GIS formats (built with GDAL).
bool GisAvailable();
// Why a GIS save cannot even start, as the outcome to report, or nothing:
// kRefused in a build without GDAL, kFailed (with the reason) where the
// installation's GDAL module is missing or cannot be loaded.
std::optional<SaveOutcome> GisUnavailable();

// Nothing when GDAL accepts `srs` (OGRSpatialReference::SetFromUserInput),
// else GDAL's reason in English.
std::optional<std::string> CheckSrs(const std::string& srs);

// Writes the block as a NEW dataset of the target's GIS format (none of its
// files exists yet: the caller passes the target of a temporary name such as
// "/dir/.tavimo-ab12cd.gpkg" and renames every file of it into place
// afterwards). An empty `srs` leaves the CRS unknown. `progress` (may be
// null) hears of the features written now and then, like the other writers
// (Progress::Step(done, total)); a false answer cancels. kRefused (before
// anything is created) when the cells have no area, when they are too small
// for double-precision coordinates so far from the origin, or when the
// format cannot name `srs`; kFailed with GDAL's reason and the errno value
// when one is known (ENOSPC...), but no path: the save names the file the
// user chose. On anything but kSaved every file it created is removed.
// With `clip`, only the cells it keeps are written (and the edges of those
// in a GeoPackage's grid lines), each with its numbers in the whole block.
// With `cellCentres`, a GeoPackage also gets the layer "cell_centres": a
// point per cell written, at its centre (where --label-centre puts the
// label), with its column, row and label; refused for other formats.
SaveOutcome WriteGisDataset(const SaveTarget& target, const CellBlock& spec, const std::string& srs,
                            Progress* progress, CellFilter* clip = nullptr, bool cellCentres = false);

// Where a clip area comes from: a file that GDAL reads as vector data, one
// of its layers (the first when none is named), and which cells it keeps.
struct ClipSource {
  std::string path;
  std::string layer;
  ClipMode mode = ClipMode::kTouches;
};

// Why a clip area cannot be used, and a sentence that says so.
struct ClipRefusal {
  enum class Kind {
    kUnavailable,   // no GDAL in this build or installation
    kUnreadable,    // not a file GDAL reads as vector data
    kNoLayer,       // no such layer, or none at all
    kNoPolygons,    // the layer holds no polygons
    kOutside,       // the area lies wholly outside the block
    kAreaCrsOnly,   // the area names a coordinate reference system, the block none
    kBlockCrsOnly,  // the block names one, the area none
    kCrs,           // the area cannot be brought into the block's
  };
  Kind kind;
  std::string reason;
};
using ClipArea = std::variant<std::unique_ptr<CellFilter>, ClipRefusal>;

// The union of the polygons of the source's layer (holes and multi-polygons
// as they are), brought into the block's coordinate reference system `srs`
// (empty: none) when both have one, as the filter of the block's cells.
// GDAL is done with once it returns: the filter decides row by row on its
// own, from the area's boundary within the block.
ClipArea OpenClipArea(const ClipSource& source, const CellBlock& block, const std::string& srs);

}  // namespace tavimo
