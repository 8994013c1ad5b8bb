#include "export/gis_save.h"

#include <memory>
#include <string_view>

#include "export/gis_writer.h"
#include "output/atomic_file.h"
#include "platform/platform.h"

namespace tavimo {
namespace {

SaveOutcome Refused(std::string reason) { return {SaveOutcome::Kind::kRefused, {}, 0, std::move(reason)}; }

// Whether another program has the GeoPackage open, as SQLite shows it: a
// connection in WAL mode holds a record lock on the -shm file (and on the
// database) as long as it is open; a rollback-journal connection locks the
// database during a transaction (an idle one holds nothing, and loses
// nothing to a replace either). A program in WAL mode would go on writing
// the old database's -wal and -shm by name, beside the new database, which
// would read them as its own.
bool OpenElsewhere(const AtomicFile& primary) {
  const std::string& name = primary.targetName();
  return platform::RecordLocked(primary.folder(), name) || platform::RecordLocked(primary.folder(), name + "-shm");
}

}  // namespace

bool GisFormatsAvailable() { return GisAvailable(); }

std::vector<std::string> CaseVariantsOf(const SaveTarget& target) {
  std::vector<std::string> variants;
  if (target.format != SaveFormat::kShapefile) return variants;
  const std::string& path = target.path();
  const std::size_t nameStart = path.rfind('/') + 1;  // 0 without a folder
  const std::string prefix = path.substr(0, nameStart);
  const std::string stem = path.substr(nameStart, path.rfind('.') - nameStart);
  platform::Handle folder = platform::kNoHandle;
  if (platform::OpenFolder(prefix.empty() ? "." : prefix, folder) != 0) return variants;
  for (const std::string& name : platform::NamesStartingWith(folder, stem)) {
    for (const std::string& file : target.files) {
      const std::string own = file.substr(nameStart);
      if (name == own) break;
      if (EqualsIgnoringCase(name, own) && !platform::SameFile(folder, name, own)) {
        variants.push_back(prefix + name);
        break;
      }
    }
  }
  platform::Close(folder);
  return variants;
}

SaveOutcome SaveGis(const SaveTarget& target, const CellBlock& spec, Progress* progress, const std::string& srs,
                    Existing existing, CellFilter* clip, bool cellCentres) {
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
  AtomicFile primary;
  const std::string lowerExtension = target.format == SaveFormat::kGeoPackage ? ".gpkg"
                                     : target.format == SaveFormat::kGeoJson  ? ".geojson"
                                                                              : ".shp";
  const auto keepWaiting = [&] { return progress == nullptr || progress->Step(0, 1); };
  if (!primary.OpenForName(path, lowerExtension, keepWaiting)) return {SaveOutcome::Kind::kFailed, path, primary.error(), {}};
  const bool geoPackage = target.format == SaveFormat::kGeoPackage;
  const std::string openElsewhere = path + " is open in another program; close it there and save again";
  if (geoPackage && OpenElsewhere(primary)) return Refused(openElsewhere);

  // SQLite names a database's journal and WAL after the file a link points
  // to; a Shapefile's companions are found by the name given.
  const std::vector<std::string> targets =
      geoPackage && primary.target().followed
          ? TargetOfFormat(target.format, primary.target().folder + "/" + primary.targetName()).files
          : target.files;
  const std::string& temporaryName = primary.temporaryName();
  const std::string temporaryStem =
      primary.target().folder + "/" + temporaryName.substr(0, temporaryName.size() - lowerExtension.size());
  const SaveTarget temporary = TargetOfFormat(target.format, temporaryStem + lowerExtension);
  const std::vector<std::string>& temporaries = temporary.files;

  std::vector<std::unique_ptr<AtomicFile>> companions;
  std::vector<AtomicFile*> files;
  // Old files under another case of the set's names go first, before any
  // file of the new set takes its name.
  for (const std::string& variant : CaseVariantsOf(target)) {
    auto old = std::make_unique<AtomicFile>();
    if (!old->OpenToRemove(variant, primary)) return {SaveOutcome::Kind::kFailed, variant, old->error(), {}};
    files.push_back(old.get());
    companions.push_back(std::move(old));
  }
  for (std::size_t i = 1; i < targets.size() && i < temporaries.size(); ++i) {
    auto companion = std::make_unique<AtomicFile>();
    if (!companion->OpenAsPartOf(targets[i], primary, temporaries[i].substr(temporaryStem.size())))
      return {SaveOutcome::Kind::kFailed, targets[i], companion->error(), {}};
    files.push_back(companion.get());
    companions.push_back(std::move(companion));
  }
  files.push_back(&primary);

  const SaveOutcome written = [&] {
    // GDAL creates its files as the umask has it; ours are owner-only until
    // the commit gives them their final mode. For the write alone: the
    // mask may be the whole process's (see OwnerOnlyNewFiles).
    struct OwnerOnly {
      unsigned previous = platform::OwnerOnlyNewFiles();
      ~OwnerOnly() { platform::RestoreFileMask(previous); }
    } ownerOnly;
    return WriteGisDataset(temporary, spec, srs, progress, clip, cellCentres);
  }();
  switch (written.kind) {
    case SaveOutcome::Kind::kSaved: break;
    case SaveOutcome::Kind::kCancelled: return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
    case SaveOutcome::Kind::kUnknownType:
    case SaveOutcome::Kind::kRefused: return Refused(written.reason);
    // The chosen file is the one the user knows, not the temporary.
    case SaveOutcome::Kind::kFailed: return {SaveOutcome::Kind::kFailed, path, written.error, written.reason};
  }
  // Opened while GDAL wrote.
  if (geoPackage && OpenElsewhere(primary)) return Refused(openElsewhere);
  bool cancelled = false;
  const auto stillWanted = [&] { return progress == nullptr || progress->Step(1, 1); };
  if (AtomicFile* failed = CommitFiles(files, stillWanted, &cancelled, {}, existing))
    return {SaveOutcome::Kind::kFailed, failed->path(), failed->error(), {}};
  if (cancelled) return {SaveOutcome::Kind::kCancelled, {}, 0, {}};
  return {};
}

}  // namespace tavimo
