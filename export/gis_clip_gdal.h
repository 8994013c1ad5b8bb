#pragma once
// The clip area read through GDAL, inside the GIS module: OpenClipArea sets
// GDAL up (drivers, the C locale on this thread) and reads the block's CRS,
// then hands over here.

#include <ogr_spatialref.h>

#include "export/gis_writer.h"

namespace tavimo {

// `blockCrs`: the block's coordinate reference system, null for none.
ClipArea ReadClipArea(const ClipSource& source, const CellBlock& block, const OGRSpatialReference* blockCrs);

}  // namespace tavimo
