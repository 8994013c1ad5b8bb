// GIS outputs in a build without GDAL: none, and a plain answer when asked.

#include "export/gis_writer.h"

namespace tavimo {
namespace {

constexpr char kWithoutGdal[] = "This build of Tavimo cannot write GIS formats (built without GDAL)";

}  // namespace

bool GisAvailable() { return false; }

std::optional<SaveOutcome> GisUnavailable() { return SaveOutcome{SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal}; }

std::optional<std::string> CheckSrs(const std::string&) { return std::string(kWithoutGdal); }

SaveOutcome WriteGisDataset(const SaveTarget&, const CellBlock&, const std::string&, Progress*) {
  return {SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal};
}

}  // namespace tavimo
