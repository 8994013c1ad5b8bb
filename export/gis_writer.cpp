// The GIS file names: the same in a build with GDAL and without it.

#include "export/gis_writer.h"

namespace tavimo {
namespace {

// The extension after the last "." of the last path component, or npos:
// the rule that picks DXF and CHT too.
std::size_t ExtensionStart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string_view::npos;
  return dot + 1;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<GisFormat> GisFormatOfPath(std::string_view path) {
  const std::size_t start = ExtensionStart(path);
  if (start == std::string_view::npos) return std::nullopt;
  const std::string_view extension = path.substr(start);
  if (EqualsNoCase(extension, "gpkg")) return GisFormat::kGeoPackage;
  if (EqualsNoCase(extension, "geojson")) return GisFormat::kGeoJson;
  if (EqualsNoCase(extension, "shp")) return GisFormat::kShapefile;
  return std::nullopt;
}

std::vector<std::string> GisDatasetFiles(std::string_view path, GisFormat format) {
  std::vector<std::string> files{std::string(path)};
  const std::size_t start = ExtensionStart(path);
  if (format != GisFormat::kShapefile || start == std::string_view::npos) return files;
  const std::string_view stem = path.substr(0, start);
  const std::string_view shp = path.substr(start);
  for (const std::string_view companion : {"shx", "dbf", "prj", "cpg"}) {
    std::string name(stem);
    for (std::size_t i = 0; i < companion.size(); ++i) {
      const bool upper = i < shp.size() && shp[i] >= 'A' && shp[i] <= 'Z';
      name += upper ? static_cast<char>(companion[i] - 'a' + 'A') : companion[i];
    }
    files.push_back(std::move(name));
  }
  return files;
}

}  // namespace tavimo
