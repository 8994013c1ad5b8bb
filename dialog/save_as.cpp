#include "dialog/save_as.h"

#include "dialog/dialog_texts.h"
#include "export/gis_save.h"

namespace tavimo::dialog {

std::string SaveFilter() {
  // GeoJSON in every build, GDAL's formats beside it where it writes them.
  std::string filter = "Autocad DXF|*.dxf|Orvel Format|*.cht";
  filter += GisFormatsAvailable() ? "|GeoPackage|*.gpkg|GeoJSON|*.geojson|Shapefile|*.shp" : "|GeoJSON|*.geojson";
  return filter + "|All Files|*.*";
}

std::vector<FilterEntry> FilterEntries(std::string_view filter) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t bar = filter.find('|', at);
    parts.push_back(filter.substr(at, bar - at));
    if (bar == std::string_view::npos) break;
    at = bar + 1;
  }
  std::vector<FilterEntry> entries;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) entries.push_back({parts[i], parts[i + 1]});
  return entries;
}

std::string ExtensionForEntry(std::string_view filter, std::size_t entry, std::string_view defaultExtension) {
  const std::vector<FilterEntry> entries = FilterEntries(filter);
  if (entry < entries.size()) {
    const std::string_view pattern = entries[entry].pattern;
    if (pattern.size() > 2 && pattern.substr(0, 2) == "*." &&
        pattern.find_first_of("*?;", 2) == std::string_view::npos)
      return std::string(pattern.substr(2));
  }
  return std::string(defaultExtension);
}

std::string NameWithExtension(std::string_view name, std::string_view extension) {
  std::string named(name);
  if (name.find('.') == std::string_view::npos) named += "." + std::string(extension);
  return named;
}

std::optional<std::string> ReplaceQuestionFor(const std::string& path,
                                              const std::function<bool(const std::string&)>& exists,
                                              const std::function<std::string(const std::string&)>& nameOf) {
  // A name of no known type is refused as such once the dialog closes:
  // asking first whether to replace it would ask for nothing.
  const SaveTarget target = TargetOfPath(path);
  if (target.format == SaveFormat::kNone) return std::nullopt;
  std::vector<std::string> existing;
  for (const std::string& file : target.files) {
    if (exists(file)) existing.push_back(nameOf(file));
  }
  if (existing.empty()) return std::nullopt;
  return ReplaceQuestion(existing);
}

SaveOutcome SaveBlock(DialogHost& dialog, const CellBlock& spec, Progress* progress) {
  const std::optional<std::string> path =
      dialog.AskSaveFileName(kSaveInitialName, SaveFilter(), kSaveDefaultExtension);
  if (!path) return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
  SaveOptions options;
  options.srs = dialog.Srs();
  const SaveOutcome outcome = SaveBlockTo(*path, spec, progress, options);
  if (const auto notice = NoticeFor(outcome)) dialog.ShowNotice(*notice);
  return outcome;
}

}  // namespace tavimo::dialog
