#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "model/cell_block.h"
#include "model/dialog_port.h"
#include "model/progress.h"

namespace tavimo {

// What the save command needs of the user interface: the Save As dialog
// and message boxes.
class SavePort : public MessagePort {
 public:
  // Runs the Save As dialog: the chosen full path, or nothing on cancel.
  virtual std::optional<std::string> AskSaveFileName(std::string_view initialName,
                                                     std::string_view filter,
                                                     std::string_view defaultExtension) = 0;
};

inline constexpr std::string_view kSaveFilter = "Autocad DXF|*.dxf|Orvel Format|*.cht|All Files|*.*";
inline constexpr std::string_view kSaveInitialName = "*.dxf";
inline constexpr std::string_view kSaveDefaultExtension = "dxf";
inline constexpr std::string_view kUnknownTypeCaption = "Unknown file type";
inline constexpr std::string_view kUnknownTypeText = "Please choose a file name ending in .dxf or .cht";
inline constexpr std::string_view kSaveFailedCaption = "Save failed";

enum class SaveFormat { kNone, kDxf, kCht };

// The format named by the path's final extension, compared without regard
// to case: "a.b/c.DXF" is DXF, "c.cht" CHT, anything else none.
SaveFormat FormatOfPath(std::string_view path);

// The RWS companion of a CHT path: only the final extension replaced,
// keeping its letters' case (.cht -> .rws, .CHT -> .RWS, .cHt -> .rWs).
// A path that does not end in a CHT extension gets ".rws" appended.
std::string RwsPathFor(std::string_view chtPath);

enum class SaveResult { kSaved, kCancelled, kUnknownType, kFailed };

// Asks for a path, then writes the block as DXF or as CHT with its RWS
// companion, replacing the files only once they are complete (a CHT pair
// only once both are). Shows "Unknown file type" (nothing is created) or
// "Save failed" with "Could not write <path>: <reason>" (every existing file
// stays as it was) through `port`; a success shows nothing. `progress` (may
// be null) hears of the items written now and then and can cancel: nothing
// is created or changed then, and nothing is shown.
SaveResult SaveBlock(SavePort& port, const BlockSpec& spec, Progress* progress = nullptr);

// The same without the dialog, for a path already chosen.
SaveResult SaveBlockTo(MessagePort& messages, const std::string& path, const BlockSpec& spec,
                       Progress* progress = nullptr);

}  // namespace tavimo
