// GIS outputs in a build without GDAL: Tavimo's own GeoJSON only, and a
// plain answer when asked for another.

#include "export/gis_writer.h"

#include "export/geojson_writer.h"

namespace tavimo {
namespace {

constexpr char kWithoutGdal[] = "This build of Tavimo cannot write GIS formats (built without GDAL)";

}  // namespace

bool GisBuiltIn() { return false; }

bool GisAvailable() { return false; }

std::optional<SaveOutcome> GisUnavailable() { return SaveOutcome{SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal}; }

std::optional<std::string> CheckSrs(const std::string&) { return std::string(kWithoutGdal); }

EpsgCode GeoJsonEpsgCode(const std::string& srs) { return PlainEpsgCode(srs); }

// A GeoJSON file is Tavimo's own, in every build.
SaveOutcome WriteGisDataset(const SaveTarget& target, const CellBlock& spec, const std::string& srs,
                            Progress* progress, CellFilter* clip, bool) {
  if (target.format == SaveFormat::kGeoJson) return SaveGeoJsonIn(target, spec, progress, srs, Existing::kKeep, clip, &GeoJsonEpsgCode);
  return {SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal};
}

// A clip area is read through GDAL too.
ClipArea OpenClipArea(const ClipSource&, const CellBlock&, const std::string&) {
  return ClipRefusal{ClipRefusal::Kind::kUnavailable,
                     "This build of Tavimo cannot read clip areas (built without GDAL)"};
}

}  // namespace tavimo
