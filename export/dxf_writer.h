#pragma once
// The DXF drawing: one ENTITIES section, the grid as LINE entities on layer
// "Cell_block", the cell numbers as TEXT entities on layer "Cell_Numbers".
// Every line ends in CR LF.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/block_layout.h"
#include "model/cell_block.h"
#include "number/number_text.h"
#include "output/text_buffer.h"

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

// The calls the save command makes for each item of the layout: the same
// lines as WriteDxfLine and WriteDxfText with the usual layer and colour.
void WriteDxfGridLine(TextBuffer& file, const GridLine& line);

// Writes the TEXT entity of a cell label with the block's text rotation and
// height. The end of an entity from the dash of its text on stays the same
// along a row of cells and is kept from one call to the next: each thread
// that writes labels needs an object of its own.
// One LINE entity for a chunked walk, like the label writer below.
struct DxfLineWriter {
  void operator()(TextBuffer& file, const GridLine& line) const { WriteDxfGridLine(file, line); }
};

class DxfLabelWriter {
 public:
  DxfLabelWriter(float rotation, float height) : rotation_(rotation), height_(height) {}
  void operator()(TextBuffer& file, const CellLabel& label);

 private:
  void MakeTail(std::int64_t row);

  float rotation_, height_;
  std::int64_t row_ = 0;
  bool valid_ = false;
  std::size_t tailSize_ = 0;
  char tail_[64 + 3 * kMaxNumberText];  // the fixed texts and three numbers
};

// 360 - angle: the block's turn measured counter-clockwise; for a block
// along a baseline, the baseline's direction from 0 up to 360 degrees.
float DxfTextRotation(const CellBlock& spec);
// A tenth of the cell width, whatever the cell height.
float DxfTextHeight(const CellBlock& spec);

}  // namespace tavimo
