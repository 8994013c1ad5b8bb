// GisAvailable, CheckSrs and WriteGisDataset of a build with GDAL: each
// goes to the GIS module, loaded on first use.
#include <string>

#include "export/gis_module.h"
#include "platform/platform.h"

namespace tavimo {
namespace {

struct Loaded {
  const GisModule* module = nullptr;
  std::string problem;  // why there is none
};

// An installed program loads the module of its own installation only,
// relative to its own folder. A program run from the build tree may also
// take the one built beside it; an installed one never looks there, where
// whoever can create that folder would choose the code it runs.
const Loaded& LoadModule() {
  static const Loaded loaded = [] {
    const std::string folder = platform::ExecutableFolder();
    std::vector<std::string> paths{folder + "/" TAVIMO_GIS_MODULE_FROM_PROGRAMS};
    const std::string buildTree = TAVIMO_BUILD_TREE;
    if (!folder.empty() && (folder + "/").starts_with(buildTree + "/")) paths.push_back(TAVIMO_GIS_MODULE_BUILT);
    Loaded result;
    for (const std::string& path : paths) {
      if (!platform::PathExists(path)) continue;
      std::string error;
      void* handle = platform::OpenModule(path, &error);
      auto entry = handle != nullptr
                       ? reinterpret_cast<GisModuleEntry>(platform::ModuleSymbol(handle, kGisModuleEntry))
                       : nullptr;
      if (entry != nullptr) return Loaded{entry(), {}};
      result.problem = "This installation of Tavimo cannot write GIS formats: its GDAL module could not be loaded (" +
                       (handle != nullptr ? path + " has no entry point" : error) + ")";
      return result;
    }
    result.problem =
        "This installation of Tavimo cannot write GIS formats: its GDAL module (libtavimo_gis.so) is missing";
    return result;
  }();
  return loaded;
}

}  // namespace

std::optional<SaveOutcome> GisUnavailable() {
  const Loaded& loaded = LoadModule();
  if (loaded.module == nullptr) return SaveOutcome{SaveOutcome::Kind::kFailed, {}, 0, loaded.problem};
  return std::nullopt;
}

bool GisAvailable() {
  const Loaded& loaded = LoadModule();
  return loaded.module != nullptr && loaded.module->available();
}

std::optional<std::string> CheckSrs(const std::string& srs) {
  const Loaded& loaded = LoadModule();
  return loaded.module != nullptr ? loaded.module->checkSrs(srs) : std::optional<std::string>(loaded.problem);
}

SaveOutcome WriteGisDataset(const SaveTarget& target, const CellBlock& spec, const std::string& srs,
                            Progress* progress, CellFilter* clip, bool cellCentres) {
  if (auto unavailable = GisUnavailable()) return *unavailable;
  return LoadModule().module->write(target, spec, srs, progress, clip, cellCentres);
}

ClipArea OpenClipArea(const ClipSource& source, const CellBlock& block, const std::string& srs) {
  const Loaded& loaded = LoadModule();
  if (loaded.module == nullptr) {
    // The reason why is the module's, whatever it was to do.
    const std::size_t colon = loaded.problem.find(": ");
    return ClipRefusal{ClipRefusal::Kind::kUnavailable,
                       "This installation of Tavimo cannot read clip areas: " + loaded.problem.substr(colon + 2)};
  }
  return loaded.module->openClipArea(source, block, srs);
}

}  // namespace tavimo
