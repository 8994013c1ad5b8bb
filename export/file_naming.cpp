#include "export/file_naming.h"

namespace tavimo {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (Lower(text[i]) != lower[i]) return false;
  return true;
}

// The extension after the last "." of the last path component, or npos.
std::size_t ExtensionStart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string_view::npos;
  return dot + 1;
}

}  // namespace

SaveFormat FormatOfPath(std::string_view path) {
  const std::size_t start = ExtensionStart(path);
  if (start == std::string_view::npos) return SaveFormat::kNone;
  const std::string_view extension = path.substr(start);
  if (EqualsNoCase(extension, "dxf")) return SaveFormat::kDxf;
  if (EqualsNoCase(extension, "cht")) return SaveFormat::kCht;
  if (EqualsNoCase(extension, "gpkg")) return SaveFormat::kGeoPackage;
  if (EqualsNoCase(extension, "geojson")) return SaveFormat::kGeoJson;
  if (EqualsNoCase(extension, "shp")) return SaveFormat::kShapefile;
  return SaveFormat::kNone;
}

std::string WithExtensionLike(std::string_view path, std::string_view lower) {
  std::string result(path);
  const std::size_t start = ExtensionStart(path);
  if (start == std::string_view::npos) return result + "." + std::string(lower);
  result.resize(start);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const bool upper = start + i < path.size() && path[start + i] >= 'A' && path[start + i] <= 'Z';
    result += upper ? static_cast<char>(lower[i] - 'a' + 'A') : lower[i];
  }
  return result;
}

std::string RwsPathFor(std::string_view chtPath) {
  if (FormatOfPath(chtPath) != SaveFormat::kCht) return std::string(chtPath) + ".rws";
  return WithExtensionLike(chtPath, "rws");
}

}  // namespace tavimo
