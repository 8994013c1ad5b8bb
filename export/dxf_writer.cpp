#include "export/dxf_writer.h"

#include <array>
#include <cstring>
#include <string>

#include "export/number_field.h"
#include "textout/number_text.h"

namespace tavimo {
namespace {

// Group code lines are the same few texts millions of times over: make
// each once, the same way WriteNumber would.
constexpr int kLargestCode = 62;

const std::string& CodeItem(int code) {
  static const std::array<std::string, kLargestCode + 1> items = [] {
    std::array<std::string, kLargestCode + 1> made;
    for (int c = 0; c <= kLargestCode; ++c) made[c] = FormatNumberItem(c, 7);
    return made;
  }();
  return items[code];
}

// A group: its code as a 16-bit integer item (" 10 "), then the value line.
void WriteCode(TextOutputFile& file, int code) {
  file.WriteText(CodeItem(code));
  file.EndLine();
}

void WriteGroup(TextOutputFile& file, int code, std::string_view value) {
  WriteCode(file, code);
  file.WriteText(value);
  file.EndLine();
}

void WriteColour(TextOutputFile& file, std::int32_t colour) {
  static const std::string usual = FormatNumberItem(kDxfColour, 15);
  WriteCode(file, 62);
  if (colour == kDxfColour) {
    file.WriteText(usual);
  } else {
    file.WriteNumber(colour, 15);
  }
  file.EndLine();
}

// A single-precision item. Height and rotation stay the same through a
// save, so the text of the last value is kept (per code, per thread).
void WriteSingle(TextOutputFile& file, int code, float value) {
  struct Memo {
    float value;
    bool valid = false;
    std::size_t size = 0;
    char text[kMaxNumberText];
  };
  thread_local Memo memos[2];  // 40 (height) and 50 (rotation)
  Memo& memo = memos[code == 50 ? 1 : 0];
  if (!memo.valid || std::memcmp(&memo.value, &value, sizeof value) != 0) {
    memo.value = value;
    memo.size = FormatNumber(memo.text, value, 7, true);
    memo.valid = true;
  }
  WriteCode(file, code);
  file.WriteText(std::string_view(memo.text, memo.size));
  file.EndLine();
}

}  // namespace

void WriteDxfHeader(TextOutputFile& file) {
  WriteGroup(file, 0, "SECTION");
  WriteGroup(file, 2, "ENTITIES");
}

void WriteDxfLine(TextOutputFile& file, std::string_view layer, std::int32_t colour,
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

void WriteDxfText(TextOutputFile& file, std::string_view layer, std::int32_t colour,
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

void WriteDxfTrailer(TextOutputFile& file) {
  WriteGroup(file, 0, "ENDSEC");
  WriteGroup(file, 0, "EOF");
}

void WriteDxfGridLine(TextOutputFile& file, const GridLine& line) {
  const NumberField x1(line.startX), y1(line.startY), x2(line.endX), y2(line.endY);
  WriteDxfLine(file, kGridLayer, kDxfColour, x1.text(), y1.text(), "0", x2.text(), y2.text(), "0");
}

void WriteDxfCellLabel(TextOutputFile& file, const CellLabel& label, float rotation, float height) {
  const NumberField x(label.x), y(label.y);
  const NumberField column(static_cast<long double>(label.column));
  const NumberField row(static_cast<long double>(label.row));
  // "column-row" without blanks; kMaxNumberText bounds each part.
  char text[2 * kMaxNumberText + 1];
  std::size_t size = 0;
  for (char c : column.trimmed()) text[size++] = c;
  text[size++] = '-';
  for (char c : row.trimmed()) text[size++] = c;
  WriteDxfText(file, kNumberLayer, kDxfColour, x.text(), y.text(), "0", std::string_view(text, size),
               rotation, height);
}

float DxfTextRotation(const BlockSpec& spec) {
  // 64-bit: 360 - angle cannot overflow whatever the angle.
  return static_cast<float>(360 - static_cast<std::int64_t>(spec.angle));
}

float DxfTextHeight(const BlockSpec& spec) {
  return static_cast<float>(static_cast<long double>(spec.widthCell) / 10);
}

}  // namespace tavimo
