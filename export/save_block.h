#pragma once
// The save: a block written to a chosen path, as a typed outcome.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/save_outcome.h"
#include "export/save_target.h"
#include "model/cell_block.h"
#include "model/cell_filter.h"
#include "model/notice.h"
#include "model/progress.h"
#include "output/atomic_file.h"

namespace tavimo {

struct SaveOptions {
  std::string srs;  // the coordinate reference system of a GIS file; empty: unknown
  // kKeep: a target that exists, or appears while the save runs, fails the
  // save with EEXIST (its path in the outcome) and is never replaced.
  Existing existing = Existing::kReplace;
  // A DXF drawing opens with a HEADER of its extents, and of its unit when
  // `dxfUnits` gives the DXF's code of one.
  bool dxfExtents = false;
  std::optional<int> dxfUnits = std::nullopt;
  // Only the cells this keeps are written, with their edges and their
  // numbers in the whole block; none: the whole block.
  CellFilter* clip = nullptr;
  // A GeoPackage also gets the point layer cell_centres; other formats
  // refuse it.
  bool cellCentres = false;
};

// Writes the block as the target's format asks: DXF, CHT with its RWS
// companion, or a GIS format. The files replace their targets only once all
// are complete; on failure or cancel every existing file stays as it was
// and nothing is left behind. `progress` (may be null) hears of the items
// written now and then and can cancel.
[[nodiscard]] SaveOutcome SaveBlockTo(const SaveTarget& target, const CellBlock& spec,
                                      Progress* progress = nullptr, const SaveOptions& options = {});
// The same to TargetOfPath(path).
[[nodiscard]] SaveOutcome SaveBlockTo(const std::string& path, const CellBlock& spec,
                                      Progress* progress = nullptr, const SaveOptions& options = {});

// Every file a save to `path` writes, replaces or removes, `path` first;
// old files under another case of their names (CaseVariantsOf) last.
std::vector<std::string> FilesOfSave(const std::string& path);

// What to tell the user about an outcome; nothing for a save or a cancel.
std::optional<Notice> NoticeFor(const SaveOutcome& outcome);

}  // namespace tavimo
