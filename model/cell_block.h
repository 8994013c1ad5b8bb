#pragma once
#include <cstdint>
#include "number/extended.h"

#include "model/label_scheme.h"

namespace tavimo {

// A validated block, as CreateCells hands it on: totals are whole multiples
// of the cell sizes (where those are not 0), the angle is 0..90 for a
// clockwise turn or 270..360 for a counter-clockwise one.
struct BlockSpec {
  Extended startX = 0;
  Extended startY = 0;
  std::int32_t widthTotal = 0;
  std::int32_t heightTotal = 0;
  std::int32_t widthCell = 0;
  std::int32_t heightCell = 0;
  std::int32_t angle = 0;
};

// How a block is turned. Its width axis runs along (cos a, -sin a) and its
// height axis along (sin a, cos a), for a in degrees, clockwise.
struct Turn {
  enum class Kind {
    kWholeDegrees,  // `wholeDegrees`, as the dialog's block has it
    kDegrees,       // `degrees`, with a fraction
    kVector,        // along (dx, dy): a baseline's direction
  };
  Kind kind = Kind::kWholeDegrees;
  std::int32_t wholeDegrees = 0;
  Extended degrees = 0;
  Extended dx = 0;
  Extended dy = 0;

  static Turn WholeDegrees(std::int32_t angle) { return {Kind::kWholeDegrees, angle, 0, 0, 0}; }
  // A whole number of degrees (in 32 bits) is the whole-degree turn, so that
  // 30.0 turns exactly as 30 does.
  static Turn Degrees(Extended angle);
  static Turn Vector(Extended dx, Extended dy) { return {Kind::kVector, 0, 0, dx, dy}; }

  // The turn a label's second move uses: the angle less 90 degrees, whose
  // width axis is this turn's height axis.
  Turn LessNinety() const;
};

// A block in the general form the layout, the preview and every writer
// take: sizes with fractions, counts worked out, any turn. Every BlockSpec
// is one, with the same bits in every computed point.
struct CellBlock {
  Extended startX = 0;
  Extended startY = 0;
  Extended widthTotal = 0;
  Extended heightTotal = 0;
  Extended widthCell = 0;
  Extended heightCell = 0;
  // Cells along the width and the height axis; negative for none (a cell
  // size of 0, or a total and cell size of opposite signs).
  std::int64_t columnCount = -1;
  std::int64_t rowCount = -1;
  Turn turn;
  LabelScheme labels;

  CellBlock() = default;
  CellBlock(const BlockSpec& spec);  // NOLINT(google-explicit-constructor): a BlockSpec is a CellBlock
};

// total / cell rounded to the nearest integer, or -1 when the cell size is
// 0: the count of a whole-number block.
std::int64_t CountOfCells(std::int32_t total, std::int32_t cell);

// The direction of the block's label baselines as GIS programs take a
// label's rotation: degrees clockwise from east, in [0, 360). The DXF's
// TEXT rotation is the same direction counter-clockwise. Exact for whole
// and decimal degrees (to a double); a baseline's direction has the
// DXF's float precision.
double GisLabelAngle(const CellBlock& block);

}  // namespace tavimo
