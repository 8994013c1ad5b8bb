// GisAvailable, CheckSrs and WriteGisDataset of a build with GDAL: each
// goes to the GIS module, loaded on first use.
#include <mutex>

#include "export/gis_module.h"
#include "platform/platform.h"

namespace tavimo {
namespace {

constexpr char kNoModule[] =
    "This installation of Tavimo cannot write GIS formats: its GDAL module (libtavimo_gis.so) is missing";

// Installed beside the programs' libraries; in the build tree, where it
// was built.
const GisModule* LoadModule() {
  static const GisModule* module = [] () -> const GisModule* {
    for (const std::string& path : {platform::ExecutableFolder() + "/" TAVIMO_GIS_MODULE_FROM_PROGRAMS,
                                    std::string(TAVIMO_GIS_MODULE_BUILT)}) {
      void* handle = platform::OpenModule(path);
      if (handle == nullptr) continue;
      if (auto entry = reinterpret_cast<GisModuleEntry>(platform::ModuleSymbol(handle, kGisModuleEntry)))
        return entry();
    }
    return nullptr;
  }();
  return module;
}

}  // namespace

bool GisAvailable() {
  const GisModule* module = LoadModule();
  return module != nullptr && module->available();
}

std::optional<std::string> CheckSrs(const std::string& srs) {
  const GisModule* module = LoadModule();
  return module != nullptr ? module->checkSrs(srs) : std::optional<std::string>(kNoModule);
}

SaveOutcome WriteGisDataset(const SaveTarget& target, const BlockSpec& spec, const std::string& srs,
                            Progress* progress) {
  const GisModule* module = LoadModule();
  if (module == nullptr) return {SaveOutcome::Kind::kRefused, {}, 0, kNoModule};
  return module->write(target, spec, srs, progress);
}

}  // namespace tavimo
