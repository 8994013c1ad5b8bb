#pragma once
// Which format a chosen path asks for, and the names of a save's other files.

#include <string>
#include <string_view>

namespace tavimo {

enum class SaveFormat { kNone, kDxf, kCht, kGeoPackage, kGeoJson, kShapefile };

// The format named by the path's final extension (after the last "." of its
// last component), compared without regard to case: "a.b/c.DXF" is DXF.
SaveFormat FormatOfPath(std::string_view path);

// The RWS companion of a CHT path: only the final extension replaced,
// keeping its letters' case (.cht -> .rws, .CHT -> .RWS, .cHt -> .rWs).
// A path that does not end in a CHT extension gets ".rws" appended.
std::string RwsPathFor(std::string_view chtPath);

// `path` with its final extension (three letters, as FormatOfPath found
// them) replaced by `lower`, each letter in the case of the one it replaces.
std::string WithExtensionLike(std::string_view path, std::string_view lower);

}  // namespace tavimo
