#pragma once
// Reading a block from its field texts: conversion, the corrections of the
// totals, and the checks, as plain values. The dialog and the exporter
// present the result; nothing here shows anything.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include "number/extended.h"

#include "model/block_fields.h"
#include "model/cell_block.h"
#include "model/notice.h"

namespace tavimo {

// A field's text replaced: a total made a whole multiple of its cell size
// (" 55"), or worked out from a count or an extent.
struct Correction {
  Field field;
  std::string text;
  bool operator==(const Correction&) const = default;
};

enum class RefusalKind {
  kWrongAngle,       // the angle lies outside 0..90
  kValueOutOfRange,  // a rounded field (or a corrected total) outside 32 bits
  kStartNotFinite,   // X or Y infinite or not a number
  kStartOutOfRange,  // X or Y beyond +-1E+308
  kWrongOption,      // a baseline, count or extent that makes no block
};

struct Refusal {
  RefusalKind kind;
  Field field;
  bool operator==(const Refusal&) const = default;
};

// What the dialog's fields do not say; every option is off by default, and
// then the block is read exactly as the fields alone describe it.
struct BlockOptions {
  // Keep the fractions of the angle and the sizes instead of rounding them
  // to whole numbers.
  bool decimals = false;
  // X1, Y1, X2, Y2: the block starts at the first point and its width axis
  // runs toward the second; X, Y, the angle and the direction are not read.
  std::optional<std::array<std::string, 4>> baseline;
  // Counts of cells: the width's total is `columns` cells, the height's
  // `rows` cells; a total field replaced by a count is not read.
  std::optional<std::string> columns;
  std::optional<std::string> rows;
  // XMIN, YMIN, XMAX, YMAX: the smallest block of whole cells that covers
  // this extent; X, Y, the totals and any counts are not read.
  std::optional<std::array<std::string, 4>> extent;

  // How the cells are labelled (LabelScheme): a template such as
  // "{col:A}{row}", the first column and row numbers as typed, the corner
  // of column 1 row 1, the order of the running number, the label at the
  // cell's centre, and the DXF text height as typed.
  std::optional<std::string> labels;
  std::optional<std::string> firstColumn;
  std::optional<std::string> firstRow;
  LabelCorner corner = LabelCorner::kLowerLeft;
  NumberOrder order = NumberOrder::kRows;
  bool labelsAtCentre = false;
  std::optional<std::string> labelHeight;

  // An option that changes the block's geometry or its reading.
  bool AnyOn() const { return decimals || baseline || columns || rows || extent; }
  bool AnyLabelOn() const {
    return labels || firstColumn || firstRow || corner != LabelCorner::kLowerLeft || order != NumberOrder::kRows ||
           labelsAtCentre || labelHeight;
  }
};

// The largest count of cells along either axis: a label's column and row
// are 32-bit numbers.
inline constexpr std::int64_t kLargestCount = 2147483647;

struct BlockReading {
  // The block, unless refused: the form every receiver takes.
  std::optional<CellBlock> block;
  // The same block in whole numbers, when no option but the labels' is on.
  std::optional<BlockSpec> spec;
  std::optional<Refusal> refusal;   // why not
  std::vector<Correction> corrections;
  // Everything to tell the user, in order; the refusal's message comes last.
  std::vector<Notice> notices;
};

// Converts the texts (TextToNumber), rounds the integer fields, makes the
// totals whole multiples of the cell sizes (rounding the count of cells up),
// checks the angle and folds the direction into it (360 - angle for a
// counter-clockwise turn), and reads the starting point unrounded; then
// applies the options.
BlockReading ReadBlock(const FieldTexts& fields, const BlockOptions& options = {});

// The largest magnitude of a starting coordinate: beyond it a double, and so
// every reader of the files, holds no such number.
inline constexpr Extended kLargestStart = 0x8.e679c2f5e44ff8fp+1020L;  // 1e308, exactly as x87 rounds it

}  // namespace tavimo
