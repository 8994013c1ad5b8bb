#pragma once
// The records of the GIS formats, byte for byte as GDAL's drivers write the
// same features: a GeoPackage's geometry blobs, a GeoJSON feature's text,
// a Shapefile's .shp, .shx and .dbf records. The rest of each file (its
// tables, header, coordinate reference system) is GDAL's own; these are
// the millions of pieces in between, made without GDAL's work per feature.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/gis_cells.h"
#include "export/gis_number_text.h"

namespace tavimo::gis {

// GeoPackage geometry: the blob header ("GP", version 0, flags for a
// little-endian blob with an x/y envelope), the layer's srs_id, the
// envelope (min x, max x, min y, max y), then the geometry as
// little-endian WKB.
inline constexpr std::size_t kPolygonBlobBytes = 8 + 32 + 9 + 4 + 5 * 16;
inline constexpr std::size_t kLineBlobBytes = 8 + 32 + 9 + 2 * 16;
void PutPolygonBlob(unsigned char* p, std::int32_t srsId, const Cell& cell);
// A point's blob has no envelope (flags 0x01), as GDAL writes it.
inline constexpr std::size_t kPointBlobBytes = 8 + 5 + 16;
void PutPointBlob(unsigned char* p, std::int32_t srsId, double x, double y);
void PutLineBlob(unsigned char* p, std::int32_t srsId, const Line& line);

// A feature of the layer "cells" as GDAL's GeoJSON driver writes it (at 17
// significant figures), without the ",\n" that goes between features.
inline constexpr std::size_t kMaxFeatureText = 320 + 13 * kMaxGeneralText + 2 * (kLongestLabel + 1);
// The texts of a cell's corners, "[ x, y ]", kept for the next cell in the
// row, which shares two of them: one per walk of cells.
struct CornerTexts {
  static constexpr std::size_t kRoom = 2 * kMaxGeneralText + 8;
  char text[4][kRoom];
  std::size_t size[4];
};
char* PutGeoJsonFeature(char* p, const Cell& cell, CornerTexts& corners);

// A Shapefile's records. The .shp record of a cell: its number (from 1)
// and the polygon, its ring clockwise as the format wants; the .shx record
// that points at it; the .dbf record in the fields GDAL laid out.
inline constexpr std::size_t kShpHeaderBytes = 100;
inline constexpr std::size_t kShpRecordBytes = 8 + 4 + 32 + 4 + 4 + 4 + 5 * 16;
inline constexpr std::size_t kShxRecordBytes = 8;
void PutShpRecord(unsigned char* p, std::uint64_t number, const Cell& cell);
void PutShxRecord(unsigned char* p, std::uint64_t number);

// The .dbf file's fields as its header describes them.
struct DbfField {
  char type;  // 'N' a number, 'C' text
  int width;
  int decimals;
};
struct DbfLayout {
  std::size_t headerBytes = 0;
  std::size_t recordBytes = 0;
  std::vector<DbfField> fields;
};
// The layout in a .dbf header, or nothing when it is not one of six
// fields (column, row, label, label_x, label_y, label_angle) of these types.
std::optional<DbfLayout> ReadDbfLayout(const unsigned char* header, std::size_t size);
// The cell's .dbf record (dbf.recordBytes); false when a value does not
// fit its field, where GDAL would cut it short with a warning.
bool PutDbfRecord(char* p, const DbfLayout& dbf, const Cell& cell);

// The headers with the dataset's counts and extent: a .shp or .shx header
// GDAL wrote for no records, made the header of `records` records within
// `box`; a .dbf header made one of `records` records.
void CompleteShpHeader(unsigned char* header, std::uint64_t fileBytes, const Box& box);
void CompleteDbfHeader(unsigned char* header, std::uint64_t records);

}  // namespace tavimo::gis
