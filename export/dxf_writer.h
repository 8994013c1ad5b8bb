#pragma once
// The DXF drawing: one ENTITIES section, the grid as LINE entities on layer
// "Cell_block", the cell numbers as TEXT entities on layer "Cell_Numbers".
// Every line ends in CR LF.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/block_layout.h"
#include "model/cell_block.h"
#include "textout/text_buffer.h"

namespace tavimo {

inline constexpr std::string_view kGridLayer = "Cell_block";
inline constexpr std::string_view kNumberLayer = "Cell_Numbers";
inline constexpr std::int32_t kDxfColour = 7;

// " 0 ", "SECTION", " 2 ", "ENTITIES".
void WriteDxfHeader(TextBuffer& file);

// One LINE entity; the coordinates are texts as NumberString makes them
// (the Z values "0").
void WriteDxfLine(TextBuffer& file, std::string_view layer, std::int32_t colour,
                  std::string_view x1, std::string_view y1, std::string_view z1,
                  std::string_view x2, std::string_view y2, std::string_view z2);

// One TEXT entity. The height is written before the rotation although it
// comes last here.
void WriteDxfText(TextBuffer& file, std::string_view layer, std::int32_t colour,
                  std::string_view x, std::string_view y, std::string_view z, std::string_view text,
                  float rotation, float height);

// " 0 ", "ENDSEC", " 0 ", "EOF".
void WriteDxfTrailer(TextBuffer& file);

// The calls the save command makes for each item of the layout.
void WriteDxfGridLine(TextBuffer& file, const GridLine& line);
void WriteDxfCellLabel(TextBuffer& file, const CellLabel& label, float rotation, float height);

// The same as objects for a chunked walk: each thread writes with its own,
// which keeps the end of the row's TEXT entities it made last.
struct DxfLineWriter {
  void operator()(TextBuffer& file, const GridLine& line) const { WriteDxfGridLine(file, line); }
};

class DxfLabelWriter {
 public:
  DxfLabelWriter(float rotation, float height) : rotation_(rotation), height_(height) {}
  void operator()(TextBuffer& file, const CellLabel& label);

 private:
  float rotation_, height_;
  std::int64_t row_ = 0;
  bool valid_ = false;
  std::size_t size_ = 0;
  char tail_[256];  // "-row", height, rotation and style
};

// 360 - angle: the block's turn measured counter-clockwise.
float DxfTextRotation(const BlockSpec& spec);
// A tenth of the cell width, whatever the cell height.
float DxfTextHeight(const BlockSpec& spec);

}  // namespace tavimo
