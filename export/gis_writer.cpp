// The GIS file names: the same in a build with GDAL and without it, and by
// the same extension rule that picks DXF and CHT.

#include "export/file_naming.h"
#include "export/gis_writer.h"

namespace tavimo {

std::optional<GisFormat> GisFormatOfPath(std::string_view path) {
  switch (FormatOfPath(path)) {
    case SaveFormat::kGeoPackage: return GisFormat::kGeoPackage;
    case SaveFormat::kGeoJson: return GisFormat::kGeoJson;
    case SaveFormat::kShapefile: return GisFormat::kShapefile;
    default: return std::nullopt;
  }
}

std::vector<std::string> GisDatasetFiles(std::string_view path, GisFormat format) {
  std::vector<std::string> files{std::string(path)};
  if (format != GisFormat::kShapefile || FormatOfPath(path) != SaveFormat::kShapefile) return files;
  for (const std::string_view companion : {"shx", "dbf", "prj", "cpg"})
    files.push_back(WithExtensionLike(path, companion));
  return files;
}

}  // namespace tavimo
