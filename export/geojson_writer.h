#pragma once
// The block as a GeoJSON file, written by Tavimo itself on every platform:
// a FeatureCollection "cells" with one Polygon feature per cell (the
// attributes of every GIS format's layer "cells", gis_writer.h), streamed
// as the features are made. The same block gives the same bytes wherever
// it is written; the numbers are those GDAL's GeoJSON driver writes at 17
// significant figures.
//
// A coordinate reference system is named the one way GeoJSON readers
// (GDAL, QGIS) still take, by the "crs" member of the 2008 format with an
// EPSG code, "urn:ogc:def:crs:EPSG::25833"; EPSG:4326 as
// "urn:ogc:def:crs:OGC:1.3:CRS84", the system RFC 7946 assumes anyway.
// No CRS, no member. Any other system cannot be named in a GeoJSON file.

#include <string>
#include <string_view>

#include "export/gis_streams.h"
#include "export/gis_writer.h"
#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/block_layout.h"
#include "model/cell_block.h"
#include "model/cell_filter.h"
#include "model/progress.h"
#include "output/atomic_file.h"

namespace tavimo {

// The name of the "crs" member for EPSG code `code` ("25833"); empty for
// no code, which writes no member.
std::string GeoJsonCrsName(std::string_view code);

// GeoJsonEpsgCode (gis_writer.h) without GDAL: the code of "EPSG:<code>"
// (any case, zeros in front dropped), or a refusal of any other text.
EpsgCode PlainEpsgCode(std::string_view srs);

namespace gis {

// The whole file into `file`: the collection's opening members (with the
// "crs" member when `crsName` is not empty), the features (only the cells
// `clip` keeps, when given, each with its numbers in the whole block),
// the end. The steps count features.
StreamOutcome WriteGeoJson(Sink& file, std::string_view crsName, const BlockLayout& layout, CellFilter* clip,
                           Steps& steps);

}  // namespace gis

// Saves the block as a GeoJSON file at `target`, replacing it only once
// complete (see output/atomic_file.h), its system named by `epsgCode`
// (empty: none; see GeoJsonEpsgCode). kRefused for a block a GIS format
// cannot hold.
SaveOutcome SaveGeoJson(const SaveTarget& target, const CellBlock& spec, Progress* progress,
                        const std::string& epsgCode, Existing existing, CellFilter* clip);

// The same with the system as the user gave it (empty: none): kRefused
// when a GeoJSON file cannot name it. `codeOf` is GeoJsonEpsgCode, which
// each build defines its own way.
inline SaveOutcome SaveGeoJsonIn(const SaveTarget& target, const CellBlock& spec, Progress* progress,
                                 const std::string& srs, Existing existing, CellFilter* clip,
                                 EpsgCode (*codeOf)(const std::string&)) {
  const EpsgCode named = srs.empty() ? EpsgCode{} : codeOf(srs);
  if (!named.refusal.empty()) return {SaveOutcome::Kind::kRefused, {}, 0, named.refusal};
  return SaveGeoJson(target, spec, progress, named.code, existing, clip);
}

}  // namespace tavimo
