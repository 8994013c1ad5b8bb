#pragma once
// A GeoPackage's rows and spatial indexes written in bulk, through the
// SQLite connection of the dataset GDAL created: GDAL makes the tables,
// their triggers and the GeoPackage's metadata as for any layer; the rows
// go in here, prepared on two threads and inserted many to a statement,
// and each spatial index is laid out whole (see gis_rtree.h) instead of
// growing by a trigger per row. Triggers are set aside for the inserts and
// put back as they were; the feature counts and extents GDAL keeps in
// gpkg_ogr_contents and gpkg_contents are written as GDAL writes them.

#include <cstdint>
#include <string>

#include "export/gis_streams.h"
#include "model/block_layout.h"

struct sqlite3;

namespace tavimo::gis {

// A layer GDAL created: its table and the names of its columns.
struct GeoPackageTable {
  std::string name;            // "cells", "grid_lines"
  std::string fid, geometry;   // GDAL's "fid" and "geom"
};

// Progress counts each row once and each index entry twice: the index
// takes about as long as the rows.
std::uint64_t GeoPackageSteps(const BlockLayout& layout, bool centres = false);

// Fills the new, empty tables `cells` (column, row, label, label_x,
// label_y, label_angle), `lines` and, when given, `centres` (a point per
// cell at its centre: column, row, label), inside the caller's transaction. `currentDate`:
// GDAL's OGR_CURRENT_DATE, the time gpkg_contents records for a change
// (null: now, as GDAL takes it). kFailed with SQLite's message,
// or with none when a write of the file failed (the caller's checked files
// know why).
StreamOutcome WriteGeoPackage(sqlite3* db, const GeoPackageTable& cells, const GeoPackageTable& lines,
                              const GeoPackageTable* centres, const BlockLayout& layout, const char* currentDate,
                              Steps& steps);

}  // namespace tavimo::gis
