#include "dialog/save_as.h"

#include <optional>

#include "export/gis_save.h"

namespace tavimo::dialog {

std::string SaveFilter() {
  std::string filter = "Autocad DXF|*.dxf|Orvel Format|*.cht";
  if (GisFormatsAvailable()) filter += "|GeoPackage|*.gpkg|GeoJSON|*.geojson|Shapefile|*.shp";
  return filter + "|All Files|*.*";
}

SaveOutcome SaveBlock(DialogHost& dialog, const BlockSpec& spec, Progress* progress) {
  const std::optional<std::string> path =
      dialog.AskSaveFileName(kSaveInitialName, SaveFilter(), kSaveDefaultExtension);
  if (!path) return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
  const SaveOutcome outcome = SaveBlockTo(*path, spec, progress);
  if (const auto notice = NoticeFor(outcome)) dialog.ShowNotice(*notice);
  return outcome;
}

}  // namespace tavimo::dialog
