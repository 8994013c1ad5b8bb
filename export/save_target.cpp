#include "export/save_target.h"

namespace tavimo {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }


// The extension after the last "." of the last path component, or npos.
std::size_t ExtensionStart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string_view::npos;
  return dot + 1;
}

SaveFormat FormatOfExtension(std::string_view extension) {
  if (EqualsIgnoringCase(extension, "dxf")) return SaveFormat::kDxf;
  if (EqualsIgnoringCase(extension, "cht")) return SaveFormat::kCht;
  if (EqualsIgnoringCase(extension, "gpkg")) return SaveFormat::kGeoPackage;
  if (EqualsIgnoringCase(extension, "geojson")) return SaveFormat::kGeoJson;
  if (EqualsIgnoringCase(extension, "shp")) return SaveFormat::kShapefile;
  return SaveFormat::kNone;
}

// `path` with its final extension, which starts at `start`, replaced by
// `lower`, each letter in the case of the one it replaces.
std::string WithExtensionLike(std::string_view path, std::size_t start, std::string_view lower) {
  if (start == std::string_view::npos) return std::string(path) + "." + std::string(lower);
  std::string result(path.substr(0, start));
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const bool upper = start + i < path.size() && path[start + i] >= 'A' && path[start + i] <= 'Z';
    result += upper ? static_cast<char>(lower[i] - 'a' + 'A') : lower[i];
  }
  return result;
}

SaveTarget Named(SaveFormat format, std::string_view path, std::size_t extensionStart) {
  SaveTarget target{format, {std::string(path)}};
  if (format == SaveFormat::kCht) {
    target.files.push_back(WithExtensionLike(path, extensionStart, "rws"));
  } else if (format == SaveFormat::kShapefile) {
    // What GDAL writes, then what readers take from beside an older set:
    // spatial indexes (.qix: GDAL and QGIS, .sbn/.sbx: ArcGIS and GDAL),
    // GDAL's attribute index (.idm/.ind), QGIS's projection and metadata
    // (.qpj, .qmd), ArcGIS's metadata (.shp.xml) and GDAL's (.shp.aux.xml).
    for (const std::string_view companion :
         {"shx", "dbf", "prj", "cpg", "qix", "sbn", "sbx", "idm", "ind", "qpj", "qmd"})
      target.files.push_back(WithExtensionLike(path, extensionStart, companion));
    for (const std::string_view appended : {".xml", ".aux.xml"})
      target.files.push_back(std::string(path) + std::string(appended));
  } else if (format == SaveFormat::kGeoPackage) {
    // SQLite's: an older database's journal or WAL beside a new database
    // would be read into it.
    for (const std::string_view appended : {"-wal", "-shm", "-journal"})
      target.files.push_back(std::string(path) + std::string(appended));
  }
  return target;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

SaveTarget TargetOfPath(std::string_view path) {
  const std::size_t start = ExtensionStart(path);
  return Named(start == std::string_view::npos ? SaveFormat::kNone : FormatOfExtension(path.substr(start)), path,
               start);
}

SaveTarget TargetOfFormat(SaveFormat format, std::string_view path) { return Named(format, path, ExtensionStart(path)); }

bool IsGisFormat(SaveFormat format) {
  return format == SaveFormat::kGeoPackage || format == SaveFormat::kGeoJson || format == SaveFormat::kShapefile;
}

}  // namespace tavimo
