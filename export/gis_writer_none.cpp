// A build without GDAL: no GIS formats.
#include "export/gis_writer.h"

namespace tavimo {

bool GisAvailable() { return false; }

std::optional<GisFormat> GisFormatOfPath(std::string_view) { return std::nullopt; }

std::vector<std::string> GisDatasetFiles(std::string_view path, GisFormat) { return {std::string(path)}; }

std::optional<std::string> CheckSrs(const std::string&) {
  return "This build of Tavimo cannot write GIS formats (built without GDAL)";
}

GisOutcome WriteGisDataset(const std::string&, GisFormat, const BlockSpec&, const std::string&, Progress*) {
  return {GisOutcome::Kind::kRefused, "This build of Tavimo cannot write GIS formats (built without GDAL)", 0};
}

}  // namespace tavimo
