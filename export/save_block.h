#pragma once
// The save: a block written to a chosen path, as a typed outcome. SaveBlock
// is the dialog-shaped command over it (ask for a path, save, tell).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/cell_block.h"
#include "model/notice.h"
#include "model/progress.h"
#include "output/atomic_file.h"

namespace tavimo {

struct SaveOptions {
  std::string srs;  // the coordinate reference system of a GIS file; empty: unknown
  // kKeep: a target that exists, or appears while the save runs, fails the
  // save with EEXIST (its path in the outcome) and is never replaced.
  Existing existing = Existing::kReplace;
};

// Writes the block as the target's format asks: DXF, CHT with its RWS
// companion, or a GIS format. The files replace their targets only once all
// are complete; on failure or cancel every existing file stays as it was
// and nothing is left behind. `progress` (may be null) hears of the items
// written now and then and can cancel.
[[nodiscard]] SaveOutcome SaveBlockTo(const SaveTarget& target, const BlockSpec& spec,
                                      Progress* progress = nullptr, const SaveOptions& options = {});
// The same to TargetOfPath(path).
[[nodiscard]] SaveOutcome SaveBlockTo(const std::string& path, const BlockSpec& spec,
                                      Progress* progress = nullptr, const SaveOptions& options = {});

// Every file a save to `path` writes or replaces, `path` first.
std::vector<std::string> FilesOfSave(const std::string& path);

// What to tell the user about an outcome; nothing for a save or a cancel.
std::optional<Notice> NoticeFor(const SaveOutcome& outcome);

// What the save command needs of the user interface.
class SavePort {
 public:
  virtual ~SavePort() = default;
  // Runs the Save As dialog: the chosen full path, or nothing on cancel.
  virtual std::optional<std::string> AskSaveFileName(std::string_view initialName, std::string_view filter,
                                                     std::string_view defaultExtension) = 0;
  virtual void ShowNotice(const Notice& notice) = 0;
};

inline constexpr std::string_view kSaveInitialName = "*.dxf";
inline constexpr std::string_view kSaveDefaultExtension = "dxf";
// The Save As filter: the GIS entries follow where this build writes them.
std::string SaveFilter();

// Asks for a path, saves, and shows what NoticeFor gives.
SaveOutcome SaveBlock(SavePort& port, const BlockSpec& spec, Progress* progress = nullptr);

}  // namespace tavimo
