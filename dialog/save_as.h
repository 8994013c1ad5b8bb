#pragma once
// The save behind "Save Cells" and "&Save As": the Save As dialog's
// settings and rules, the same in both dialogs, and the command that asks
// for a path, saves and tells.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/dialog_host.h"
#include "export/save_block.h"

namespace tavimo::dialog {

inline constexpr std::string_view kSaveInitialName = "*.dxf";
inline constexpr std::string_view kSaveDefaultExtension = "dxf";
// The Save As filter, "Name|pattern|Name|pattern...": GeoJSON follows in
// every build, GeoPackage and Shapefile where this build writes them.
std::string SaveFilter();

struct FilterEntry {
  std::string_view name;     // "Orvel Format"
  std::string_view pattern;  // "*.cht"; patterns separated by ';'
};
// A filter's entries in order; a last name without a pattern is dropped.
std::vector<FilterEntry> FilterEntries(std::string_view filter);

// The extension a name typed without one takes when entry `entry` (from 0)
// of `filter` is chosen: its pattern's where that names one extension
// ("*.cht" -> "cht"), else (as for "*.*", or an entry past the end)
// `defaultExtension`.
std::string ExtensionForEntry(std::string_view filter, std::size_t entry, std::string_view defaultExtension);

// A file name as typed (no folder) as the save uses it: with ".extension"
// added where the name has no dot at all.
std::string NameWithExtension(std::string_view name, std::string_view extension);

// The one question before a save to `path` replaces existing files: it
// names (by `nameOf`, without the folder) each file of the save that
// `exists` finds, a CHT file and its RWS companion together. Nothing when
// none exists, or when the path names no known type (the save refuses it).
std::optional<std::string> ReplaceQuestionFor(const std::string& path,
                                              const std::function<bool(const std::string&)>& exists,
                                              const std::function<std::string(const std::string&)>& nameOf);

// Asks for a path, saves, and shows what NoticeFor gives.
SaveOutcome SaveBlock(DialogHost& dialog, const CellBlock& spec, Progress* progress = nullptr);

}  // namespace tavimo::dialog
