#pragma once
// The DXF drawing: one ENTITIES section, the grid as LINE entities on layer
// "Cell_block", the cell numbers as TEXT entities on layer "Cell_Numbers".
// Every line ends in CR LF.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include "number/extended.h"

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

// A HEADER section before the entities: the drawing's extents, so that CAD
// programs open it zoomed to the grid, and the unit of its lengths when
// `insunits` (the DXF's code: 6 for metres) is given.
struct DxfExtents {
  Extended minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool any = false;
  // Widens the extents to hold both ends of `line`.
  void Add(const GridLine& line);
};
void WriteDxfHeaderSection(TextBuffer& file, const DxfExtents& extents, std::optional<int> insunits);
// The extents of the block's grid lines.
DxfExtents ExtentsOf(const BlockLayout& layout);
// The DXF's code of a unit's name ("m", "mm", "ft", ...), or nothing.
std::optional<int> DxfUnitCode(std::string_view unit);

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

// A cell's label with the numbers a label scheme gives it, in the
// column-row form: the fast writers above with the scheme's column and row.
template <typename Write>
class Renumbered {
 public:
  Renumbered(const CellNumbering& numbering, Write write) : numbering_(numbering), write_(std::move(write)) {}
  void operator()(TextBuffer& file, const CellLabel& label) {
    const CellNumbering::Numbers numbers = numbering_.Of(label.column - 1, label.row - 1);
    write_(file, CellLabel{numbers.column, numbers.row, label.x, label.y});
  }

 private:
  CellNumbering numbering_;
  Write write_;
};

// The TEXT entity of a label made from any template, at the cell's centre
// aligned middle-centre when the scheme asks for it.
class DxfTemplateLabelWriter {
 public:
  DxfTemplateLabelWriter(const CellNumbering& numbering, float rotation, float height, bool centre)
      : numbering_(numbering), rotation_(rotation), height_(height), centre_(centre) {}
  void operator()(TextBuffer& file, const CellLabel& label);

 private:
  CellNumbering numbering_;
  float rotation_, height_;
  bool centre_;
  std::string text_;
};

// 360 - angle: the block's turn measured counter-clockwise; for a block
// along a baseline, the baseline's direction from 0 up to 360 degrees.
float DxfTextRotation(const CellBlock& spec);
// A tenth of the cell width, whatever the cell height, unless the label
// scheme gives a height.
float DxfTextHeight(const CellBlock& spec);

}  // namespace tavimo
