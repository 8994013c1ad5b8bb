#include "export/gis_save.h"

#include <memory>

#include "export/gis_writer.h"
#include "output/atomic_file.h"

namespace tavimo {
namespace {

// ".shp" of "/dir/.tavimo-x.shp": the extension a temporary takes.
std::string ExtensionOf(const std::string& path) {
  const auto dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

SaveOutcome Refused(std::string reason) { return {SaveOutcome::Kind::kRefused, {}, 0, std::move(reason)}; }

}  // namespace

bool GisFormatsAvailable() { return GisAvailable(); }

SaveOutcome SaveGis(const SaveTarget& target, const BlockSpec& spec, Progress* progress, const std::string& srs,
                    Existing existing) {
  if (auto unavailable = GisUnavailable()) {
    if (unavailable->kind == SaveOutcome::Kind::kFailed) unavailable->path = target.path();
    return *unavailable;
  }
  if (!srs.empty()) {
    if (auto reason = CheckSrs(srs)) return Refused("Unknown coordinate reference system: " + *reason);
  }

  // The files of the dataset under one hidden stem, the chosen file's last:
  // whoever waits for it finds its companions complete when it appears.
  const std::string& path = target.path();
  const std::vector<std::string>& targets = target.files;
  AtomicFile primary;
  const std::string lowerExtension = target.format == SaveFormat::kGeoPackage ? ".gpkg"
                                     : target.format == SaveFormat::kGeoJson  ? ".geojson"
                                                                              : ".shp";
  const auto keepWaiting = [&] { return progress == nullptr || progress->Step(0, 1); };
  if (!primary.OpenForName(path, lowerExtension, keepWaiting)) return {SaveOutcome::Kind::kFailed, path, primary.error(), {}};
  const SaveTarget temporary =
      TargetOfFormat(target.format, primary.target().folder + "/" + primary.temporaryName());
  const std::vector<std::string>& temporaries = temporary.files;

  std::vector<std::unique_ptr<AtomicFile>> companions;
  std::vector<AtomicFile*> files;
  for (std::size_t i = 1; i < targets.size() && i < temporaries.size(); ++i) {
    auto companion = std::make_unique<AtomicFile>();
    if (!companion->OpenAsPartOf(targets[i], primary, ExtensionOf(temporaries[i])))
      return {SaveOutcome::Kind::kFailed, targets[i], companion->error(), {}};
    files.push_back(companion.get());
    companions.push_back(std::move(companion));
  }
  files.push_back(&primary);

  const SaveOutcome written = WriteGisDataset(temporary, spec, srs, progress);
  switch (written.kind) {
    case SaveOutcome::Kind::kSaved: break;
    case SaveOutcome::Kind::kCancelled: return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
    case SaveOutcome::Kind::kUnknownType:
    case SaveOutcome::Kind::kRefused: return Refused(written.reason);
    // The chosen file is the one the user knows, not the temporary.
    case SaveOutcome::Kind::kFailed: return {SaveOutcome::Kind::kFailed, path, written.error, written.reason};
  }
  bool cancelled = false;
  const auto stillWanted = [&] { return progress == nullptr || progress->Step(1, 1); };
  if (AtomicFile* failed = CommitFiles(files, stillWanted, &cancelled, {}, existing))
    return {SaveOutcome::Kind::kFailed, failed->path(), failed->error(), {}};
  if (cancelled) return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
  return {};
}

}  // namespace tavimo
