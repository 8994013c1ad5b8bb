#pragma once
// The save: a block written to a chosen path, as a typed outcome.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cell_block.h"
#include "model/notice.h"
#include "model/progress.h"

namespace tavimo {

struct SaveOutcome {
  enum class Kind { kSaved, kCancelled, kUnknownType, kRefused, kFailed };
  Kind kind = Kind::kSaved;
  std::string path;    // kFailed: the file that could not be written
  int error = 0;       // kFailed: the errno value, when there is one
  std::string reason;  // kRefused, and kFailed without an errno: why
  bool operator==(const SaveOutcome&) const = default;
};

struct SaveOptions {
  std::string srs;  // the coordinate reference system of a GIS file; empty: unknown
};

// Writes the block as the path's extension asks (see FormatOfPath): DXF, CHT
// with its RWS companion, or a GIS format. The files replace their targets
// only once all are complete; on failure or cancel every existing file stays
// as it was and nothing is left behind. `progress` (may be null) hears of
// the items written now and then and can cancel.
[[nodiscard]] SaveOutcome SaveBlockTo(const std::string& path, const BlockSpec& spec,
                                      Progress* progress = nullptr, const SaveOptions& options = {});

// Every file a save to `path` writes or replaces, `path` first.
std::vector<std::string> FilesOfSave(const std::string& path);

// What to tell the user about an outcome; nothing for a save or a cancel.
std::optional<Notice> NoticeFor(const SaveOutcome& outcome);

}  // namespace tavimo
