#pragma once
// What a save writes, decided once from the chosen path: the format its
// extension names and every file the save writes or replaces. The writers,
// the replace question and the GIS save all take this one value.

#include <string>
#include <string_view>
#include <vector>

namespace tavimo {

enum class SaveFormat { kNone, kDxf, kCht, kGeoPackage, kGeoJson, kShapefile };

struct SaveTarget {
  SaveFormat format = SaveFormat::kNone;
  // The chosen path first, then its companions: a CHT file's RWS file, a
  // Shapefile's .shx, .dbf, .prj and .cpg, then the files of a dataset
  // that readers take from beside it and that the save never writes
  // (indexes, metadata, SQLite's journal and WAL): an older set's would
  // describe the new data wrongly, so they go with it.
  std::vector<std::string> files;

  const std::string& path() const { return files.front(); }
  bool operator==(const SaveTarget&) const = default;
};

// The format named by the path's final extension (after the last "." of its
// last component), compared without regard to case ("a.b/c.DXF" is DXF),
// and the files of a save in it. A companion's name is the path with its
// final extension replaced, each letter in the case of the one it replaces
// (.cht -> .rws, .CHT -> .RWS, .sHp -> .sHx), or the path with a suffix
// ("x.shp.xml", "x.gpkg-wal"). A Shapefile without a
// coordinate reference system has no .prj: it is listed all the same, so
// that a save that replaces an older set removes the old one, which would
// otherwise lend the new cells its CRS.
SaveTarget TargetOfPath(std::string_view path);

// A save in `format` to `path`, its companions named as above: for a name
// made for a decided format, such as a temporary's, which ends in the
// format's own extension.
SaveTarget TargetOfFormat(SaveFormat format, std::string_view path);

// Whether two names are the same but for the case of ASCII letters, as
// file extensions are compared.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// GeoPackage, GeoJSON and Shapefile: the formats written through GDAL.
bool IsGisFormat(SaveFormat format);

}  // namespace tavimo
