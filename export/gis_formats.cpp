#include "export/gis_formats.h"

#include <bit>
#include <charconv>
#include <iterator>
#include <cstring>
#include <string_view>

namespace tavimo::gis {
namespace {

static_assert(std::endian::native == std::endian::little, "the blobs and records are laid out little-endian");

template <typename T>
unsigned char* PutLittle(unsigned char* p, T value) {
  std::memcpy(p, &value, sizeof value);
  return p + sizeof value;
}

unsigned char* PutBig32(unsigned char* p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
  return p + 4;
}

unsigned char* PutBlobHeader(unsigned char* p, std::int32_t srsId, const Box& box) {
  constexpr unsigned char kStart[4] = {'G', 'P', 0, 0x03};  // version 0; x/y envelope, little-endian
  std::memcpy(p, kStart, 4);
  p = PutLittle(p + 4, srsId);
  for (const double side : {box.minX, box.maxX, box.minY, box.maxY}) p = PutLittle(p, side);
  return p;
}

char* Put(char* p, std::string_view text) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

}  // namespace

void PutPolygonBlob(unsigned char* p, std::int32_t srsId, const Cell& cell) {
  p = PutBlobHeader(p, srsId, cell.box);
  *p++ = 1;                            // little-endian
  p = PutLittle(p, std::uint32_t{3});  // polygon
  p = PutLittle(p, std::uint32_t{1});  // rings
  p = PutLittle(p, std::uint32_t{5});  // points
  for (int k = 0; k < 5; ++k) {
    p = PutLittle(p, cell.x[k]);
    p = PutLittle(p, cell.y[k]);
  }
}

void PutPointBlob(unsigned char* p, std::int32_t srsId, double x, double y) {
  constexpr unsigned char kStart[4] = {'G', 'P', 0, 0x01};  // version 0; no envelope, little-endian
  std::memcpy(p, kStart, 4);
  p = PutLittle(p + 4, srsId);
  *p++ = 1;
  p = PutLittle(p, std::uint32_t{1});  // point
  p = PutLittle(p, x);
  PutLittle(p, y);
}

void PutLineBlob(unsigned char* p, std::int32_t srsId, const Line& line) {
  p = PutBlobHeader(p, srsId, line.box);
  *p++ = 1;
  p = PutLittle(p, std::uint32_t{2});  // line string
  p = PutLittle(p, std::uint32_t{2});  // points
  for (int k = 0; k < 2; ++k) {
    p = PutLittle(p, line.x[k]);
    p = PutLittle(p, line.y[k]);
  }
}

char* PutGeoJsonFeature(char* p, const Cell& cell, CornerTexts& corners) {
  p = Put(p, R"({ "type": "Feature", "properties": { "column": )");
  p = std::to_chars(p, p + 24, cell.column).ptr;
  p = Put(p, R"(, "row": )");
  p = std::to_chars(p, p + 24, cell.row).ptr;
  // A template's text may hold quotes and backslashes (never a control
  // character): escaped, it takes twice its bytes at most.
  p = Put(p, R"(, "label": ")");
  for (std::size_t k = 0; k < cell.labelSize; ++k) {
    if (cell.label[k] == '"' || cell.label[k] == '\\') *p++ = '\\';
    *p++ = cell.label[k];
  }
  p = Put(p, R"(", "label_x": )");
  p = PutGeoJsonNumber(p, cell.labelX);
  p = Put(p, R"(, "label_y": )");
  p = PutGeoJsonNumber(p, cell.labelY);
  p = Put(p, R"(, "label_angle": )");
  p = PutGeoJsonNumber(p, cell.labelAngle);
  p = Put(p, R"( }, "geometry": { "type": "Polygon", "coordinates": [ [ )");
  // Corners 0 and 3 are the last cell's 1 and 2 when it came just before.
  if (cell.followsInRow) {
    std::memcpy(corners.text[0], corners.text[1], corners.size[1]);
    corners.size[0] = corners.size[1];
    std::memcpy(corners.text[3], corners.text[2], corners.size[2]);
    corners.size[3] = corners.size[2];
  }
  for (int k = 0; k < 4; ++k) {
    const int corner = cell.corner[k];
    if (cell.followsInRow && (corner == 0 || corner == 3)) continue;
    char* text = corners.text[corner];
    char* end = Put(text, "[ ");
    end = PutGeoJsonNumber(end, cell.x[k]);
    end = Put(end, ", ");
    end = PutGeoJsonNumber(end, cell.y[k]);
    end = Put(end, " ]");
    corners.size[corner] = static_cast<std::size_t>(end - text);
  }
  for (int k = 0; k < 5; ++k) {
    if (k > 0) p = Put(p, ", ");
    p = Put(p, {corners.text[cell.corner[k]], corners.size[cell.corner[k]]});
  }
  return Put(p, " ] ] } }");
}

void PutShpRecord(unsigned char* p, std::uint64_t number, const Cell& cell) {
  constexpr std::uint32_t kContentWords = (kShpRecordBytes - 8) / 2;
  p = PutBig32(p, static_cast<std::uint32_t>(number));
  p = PutBig32(p, kContentWords);
  p = PutLittle(p, std::int32_t{5});  // polygon
  for (const double side : {cell.box.minX, cell.box.minY, cell.box.maxX, cell.box.maxY}) p = PutLittle(p, side);
  p = PutLittle(p, std::int32_t{1});  // parts
  p = PutLittle(p, std::int32_t{5});  // points
  p = PutLittle(p, std::int32_t{0});  // the part's first point
  for (int k = 4; k >= 0; --k) {      // clockwise: the ring backwards
    p = PutLittle(p, cell.x[k]);
    p = PutLittle(p, cell.y[k]);
  }
}

void PutShxRecord(unsigned char* p, std::uint64_t number) {
  const std::uint64_t offset = kShpHeaderBytes + (number - 1) * kShpRecordBytes;
  p = PutBig32(p, static_cast<std::uint32_t>(offset / 2));
  PutBig32(p, (kShpRecordBytes - 8) / 2);
}

std::optional<DbfLayout> ReadDbfLayout(const unsigned char* header, std::size_t size) {
  if (size < 32) return std::nullopt;
  DbfLayout dbf;
  dbf.headerBytes = header[8] | static_cast<std::size_t>(header[9]) << 8;
  dbf.recordBytes = header[10] | static_cast<std::size_t>(header[11]) << 8;
  if (dbf.headerBytes > size || dbf.headerBytes < 33) return std::nullopt;
  std::size_t used = 1;  // the record's deletion flag
  for (std::size_t at = 32; at + 32 <= dbf.headerBytes - 1; at += 32) {
    const DbfField field{static_cast<char>(header[at + 11]), header[at + 16], header[at + 17]};
    dbf.fields.push_back(field);
    used += static_cast<std::size_t>(field.width);
  }
  const char types[] = {'N', 'N', 'C', 'N', 'N', 'N'};
  if (dbf.fields.size() != std::size(types) || used != dbf.recordBytes) return std::nullopt;
  for (std::size_t k = 0; k < std::size(types); ++k)
    if (dbf.fields[k].type != types[k] || (k < 2 && dbf.fields[k].decimals != 0)) return std::nullopt;
  return dbf;
}

bool PutDbfRecord(char* p, const DbfLayout& dbf, const Cell& cell) {
  *p++ = ' ';  // not deleted
  const auto number = [&](const DbfField& field, std::int64_t value) {
    char text[24];
    const int size = static_cast<int>(std::to_chars(text, text + sizeof text, value).ptr - text);
    if (size > field.width) return false;
    std::memset(p, ' ', static_cast<std::size_t>(field.width - size));  // right-aligned
    std::memcpy(p + field.width - size, text, static_cast<std::size_t>(size));
    p += field.width;
    return true;
  };
  const auto real = [&](const DbfField& field, double value) {
    char text[kMaxFixedText];
    const int size = static_cast<int>(PutFixed(text, value, field.decimals, field.width) - text);
    if (size > field.width) return false;
    std::memcpy(p, text, static_cast<std::size_t>(size));
    p += field.width;
    return true;
  };
  if (!number(dbf.fields[0], cell.column) || !number(dbf.fields[1], cell.row)) return false;
  const DbfField& label = dbf.fields[2];
  if (static_cast<int>(cell.labelSize) > label.width) return false;
  std::memcpy(p, cell.label, cell.labelSize);
  std::memset(p + cell.labelSize, ' ', static_cast<std::size_t>(label.width) - cell.labelSize);  // left-aligned
  p += label.width;
  return real(dbf.fields[3], cell.labelX) && real(dbf.fields[4], cell.labelY) &&
         real(dbf.fields[5], cell.labelAngle);
}

void CompleteShpHeader(unsigned char* header, std::uint64_t fileBytes, const Box& box) {
  PutBig32(header + 24, static_cast<std::uint32_t>(fileBytes / 2));
  unsigned char* p = header + 36;
  for (const double side : {box.minX, box.minY, box.maxX, box.maxY}) p = PutLittle(p, side);
}

void CompleteDbfHeader(unsigned char* header, std::uint64_t records) {
  PutLittle(header + 4, static_cast<std::uint32_t>(records));
}

}  // namespace tavimo::gis
