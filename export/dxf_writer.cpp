#include "export/dxf_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "export/put_text.h"
#include "model/exact_trig.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

using put::PutDashAndTrimmed;
using put::PutPair;
using put::PutTrimmedCellNumber;

// Group code lines are the same few texts millions of times over: make
// each once, the same way WriteNumber would.
constexpr int kLargestCode = 73;

const std::string& CodeItem(int code) {
  static const std::array<std::string, kLargestCode + 1> items = [] {
    std::array<std::string, kLargestCode + 1> made;
    for (int c = 0; c <= kLargestCode; ++c) made[c] = FormatNumberItem(c, 7);
    return made;
  }();
  return items.at(static_cast<std::size_t>(code));
}

// A group: its code as a 16-bit integer item (" 10 "), then the value line.
void WriteCode(TextBuffer& file, int code) {
  file.WriteText(CodeItem(code));
  file.EndLine();
}

void WriteGroup(TextBuffer& file, int code, std::string_view value) {
  WriteCode(file, code);
  file.WriteText(value);
  file.EndLine();
}

void WriteColour(TextBuffer& file, std::int32_t colour) {
  static const std::string usual = FormatNumberItem(kDxfColour, 15);
  WriteCode(file, 62);
  if (colour == kDxfColour) {
    file.WriteText(usual);
  } else {
    file.WriteNumber(colour, 15);
  }
  file.EndLine();
}

// A single-precision item: the float converts to the 80-bit format exactly.
void WriteSingle(TextBuffer& file, int code, float value) {
  WriteCode(file, code);
  file.WriteNumber(value, 7);
  file.EndLine();
}

}  // namespace

void WriteDxfHeader(TextBuffer& file) {
  WriteGroup(file, 0, "SECTION");
  WriteGroup(file, 2, "ENTITIES");
}

void WriteDxfLine(TextBuffer& file, std::string_view layer, std::int32_t colour,
                  std::string_view x1, std::string_view y1, std::string_view z1,
                  std::string_view x2, std::string_view y2, std::string_view z2) {
  WriteGroup(file, 0, "LINE");
  WriteGroup(file, 8, layer);
  WriteColour(file, colour);
  WriteGroup(file, 10, x1);
  WriteGroup(file, 20, y1);
  WriteGroup(file, 30, z1);
  WriteGroup(file, 11, x2);
  WriteGroup(file, 21, y2);
  WriteGroup(file, 31, z2);
}

void WriteDxfText(TextBuffer& file, std::string_view layer, std::int32_t colour,
                  std::string_view x, std::string_view y, std::string_view z, std::string_view text,
                  float rotation, float height) {
  WriteGroup(file, 0, "TEXT");
  WriteGroup(file, 8, layer);
  WriteColour(file, colour);
  WriteGroup(file, 10, x);
  WriteGroup(file, 20, y);
  WriteGroup(file, 30, z);
  WriteGroup(file, 1, text);
  WriteSingle(file, 40, height);
  WriteSingle(file, 50, rotation);
  WriteGroup(file, 7, "STANDARD");
}

void WriteDxfTrailer(TextBuffer& file) {
  WriteGroup(file, 0, "ENDSEC");
  WriteGroup(file, 0, "EOF");
}

// The two calls below make nearly every byte of a large drawing. They write
// the same lines as WriteDxfLine and WriteDxfText with the usual layer and
// colour, but format each entity straight into the file's buffer: the fixed
// lines as one text each, every number where it goes.
namespace {

// Bounds of one entity: its fixed text, and kMaxNumberText per number
// (FormatNumber may use that much room, whatever it keeps).
constexpr std::size_t kLineEntityRoom = 128 + 4 * kMaxNumberText;
constexpr std::size_t kTextEntityRoom = 128 + 3 * kMaxNumberText + 64 + 3 * kMaxNumberText;
static_assert(kTextEntityRoom <= TextBuffer::kMaxRoom);

template <std::size_t N>
[[gnu::always_inline]] inline char* Put(char* p, const char (&text)[N]) {
  std::memcpy(p, text, N - 1);
  return p + N - 1;
}

// A fixed copy covers the usual end of a TEXT entity.
constexpr std::size_t kTailCopy = 96;
static_assert(kTailCopy <= 64 + 3 * kMaxNumberText);

}  // namespace

void WriteDxfGridLine(TextBuffer& file, const GridLine& line) {
  char* p = file.Room(kLineEntityRoom);
  if (p == nullptr) return;
  // WriteDxfLine(file, kGridLayer, kDxfColour, x1, y1, "0", x2, y2, "0").
  p = Put(p, " 0 \r\nLINE\r\n 8 \r\nCell_block\r\n 62 \r\n 7 \r\n 10 \r\n");
  p = PutPair(p, line.startX, "\r\n 20 \r\n", line.startY);
  p = Put(p, "\r\n 30 \r\n0\r\n 11 \r\n");
  p = PutPair(p, line.endX, "\r\n 21 \r\n", line.endY);
  p = Put(p, "\r\n 31 \r\n0\r\n");
  file.Advance(p);
}

// "-row", height, rotation and style.
void DxfLabelWriter::MakeTail(std::int64_t row) {
  row_ = row;
  valid_ = true;
  char* p = PutDashAndTrimmed(tail_, static_cast<Extended>(row));
  p = Put(p, "\r\n 40 \r\n");
  p += FormatNumber(p, height_, 7, true);
  p = Put(p, "\r\n 50 \r\n");
  p += FormatNumber(p, rotation_, 7, true);
  p = Put(p, "\r\n 7 \r\nSTANDARD\r\n");
  tailSize_ = static_cast<std::size_t>(p - tail_);
}

void DxfLabelWriter::operator()(TextBuffer& file, const CellLabel& label) {
  if (!valid_ || label.row != row_) MakeTail(label.row);
  char* p = file.Room(kTextEntityRoom);
  if (p == nullptr) return;
  // WriteDxfText(file, kNumberLayer, kDxfColour, x, y, "0", "column-row",
  // rotation, height).
  p = Put(p, " 0 \r\nTEXT\r\n 8 \r\nCell_Numbers\r\n 62 \r\n 7 \r\n 10 \r\n");
  p = PutPair(p, label.x, "\r\n 20 \r\n", label.y);
  p = Put(p, "\r\n 30 \r\n0\r\n 1 \r\n");
  p = PutTrimmedCellNumber(p, label.column);
  if (tailSize_ <= kTailCopy) {
    std::memcpy(p, tail_, kTailCopy);
  } else {
    std::memcpy(p, tail_, tailSize_);
  }
  file.Advance(p + tailSize_);
}

float DxfTextRotation(const CellBlock& spec) {
  const Turn& turn = spec.turn;
  switch (turn.kind) {
    case Turn::Kind::kWholeDegrees:
      // 64-bit: 360 - angle cannot overflow whatever the angle.
      return static_cast<float>(360 - static_cast<std::int64_t>(turn.wholeDegrees));
    case Turn::Kind::kDegrees: return static_cast<float>(360 - turn.degrees);
    case Turn::Kind::kVector: break;
  }
  return DirectionDegrees(turn.dx, turn.dy);
}

float DxfTextHeight(const CellBlock& spec) {
  return static_cast<float>(spec.labels.height ? *spec.labels.height : spec.widthCell / 10);
}

void DxfTemplateLabelWriter::operator()(TextBuffer& file, const CellLabel& label) {
  text_.clear();
  numbering_.Append(text_, label.column - 1, label.row - 1);
  const std::string x = NumberString(label.x), y = NumberString(label.y);
  WriteDxfText(file, kNumberLayer, kDxfColour, x, y, "0", text_, rotation_, height_);
  if (!centre_) return;
  // Centred (72 = 1) and middle (73 = 2) on the alignment point: the centre.
  WriteCode(file, 72);
  file.WriteNumber(1, 7);
  file.EndLine();
  WriteGroup(file, 11, x);
  WriteGroup(file, 21, y);
  WriteGroup(file, 31, "0");
  WriteCode(file, 73);
  file.WriteNumber(2, 7);
  file.EndLine();
}

void WriteDxfHeaderSection(TextBuffer& file, const DxfExtents& extents, std::optional<int> insunits) {
  WriteGroup(file, 0, "SECTION");
  WriteGroup(file, 2, "HEADER");
  WriteGroup(file, 9, "$EXTMIN");
  WriteGroup(file, 10, NumberString(extents.minX));
  WriteGroup(file, 20, NumberString(extents.minY));
  WriteGroup(file, 30, "0");
  WriteGroup(file, 9, "$EXTMAX");
  WriteGroup(file, 10, NumberString(extents.maxX));
  WriteGroup(file, 20, NumberString(extents.maxY));
  WriteGroup(file, 30, "0");
  if (insunits) {
    WriteGroup(file, 9, "$INSUNITS");
    WriteCode(file, 70);
    file.WriteNumber(*insunits, 7);
    file.EndLine();
  }
  WriteGroup(file, 0, "ENDSEC");
}

void DxfExtents::Add(const GridLine& line) {
  for (const auto& [x, y] : {std::pair{line.startX, line.startY}, std::pair{line.endX, line.endY}}) {
    if (!any) {
      minX = maxX = x;
      minY = maxY = y;
      any = true;
    }
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
}

DxfExtents ExtentsOf(const BlockLayout& layout) {
  DxfExtents e;
  // The outline's lines hold every corner of the grid.
  if (layout.columnCount() >= 0) {
    e.Add(layout.ColumnLine(0));
    e.Add(layout.ColumnLine(layout.columnCount()));
  }
  if (layout.rowCount() >= 0) {
    e.Add(layout.RowLine(0));
    e.Add(layout.RowLine(layout.rowCount()));
  }
  return e;
}

std::optional<int> DxfUnitCode(std::string_view unit) {
  static constexpr std::pair<std::string_view, int> kUnits[] = {
      {"in", 1}, {"ft", 2}, {"mi", 3}, {"mm", 4}, {"cm", 5}, {"m", 6}, {"km", 7}, {"yd", 10}};
  for (const auto& [name, code] : kUnits)
    if (name == unit) return code;
  return std::nullopt;
}

}  // namespace tavimo
