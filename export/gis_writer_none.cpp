// GIS outputs in a build without GDAL: none, and a plain answer when asked.

#include "export/gis_writer.h"

namespace tavimo {
namespace {

constexpr char kWithoutGdal[] = "This build of Tavimo cannot write GIS formats (built without GDAL)";

}  // namespace

bool GisAvailable() { return false; }

std::optional<SaveOutcome> GisUnavailable() { return SaveOutcome{SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal}; }

std::optional<std::string> CheckSrs(const std::string&) { return std::string(kWithoutGdal); }

SaveOutcome WriteGisDataset(const SaveTarget&, const CellBlock&, const std::string&, Progress*, CellFilter*, bool) {
  return {SaveOutcome::Kind::kRefused, {}, 0, kWithoutGdal};
}

// A clip area is read through GDAL too.
ClipArea OpenClipArea(const ClipSource&, const CellBlock&, const std::string&) {
  return ClipRefusal{ClipRefusal::Kind::kUnavailable,
                     "This build of Tavimo cannot read clip areas (built without GDAL)"};
}

}  // namespace tavimo
