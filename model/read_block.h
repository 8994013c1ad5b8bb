#pragma once
// Reading a block from its field texts: conversion, the corrections of the
// totals, and the checks, as plain values. The dialog and the exporter
// present the result; nothing here shows anything.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/block_fields.h"
#include "model/cell_block.h"
#include "model/notice.h"

namespace tavimo {

// A total made a whole multiple of its cell size; `text` is what the field
// shows afterwards (" 55").
struct Correction {
  Field field;
  std::int32_t oldValue;
  std::int32_t newValue;
  std::string text;
  bool operator==(const Correction&) const = default;
};

enum class RefusalKind {
  kWrongAngle,       // the rounded angle lies outside 0..90
  kValueOutOfRange,  // a rounded field (or a corrected total) outside 32 bits
  kStartNotFinite,   // X or Y infinite or not a number
  kStartOutOfRange,  // X or Y beyond +-1E+308
};

struct Refusal {
  RefusalKind kind;
  Field field;
  bool operator==(const Refusal&) const = default;
};

struct BlockReading {
  std::optional<BlockSpec> spec;    // the block, unless refused
  std::optional<Refusal> refusal;   // why not
  std::vector<Correction> corrections;
  // Everything to tell the user, in order; the refusal's message comes last.
  std::vector<Notice> notices;
};

// Converts the texts (TextToNumber), rounds the integer fields, makes the
// totals whole multiples of the cell sizes (rounding the count of cells up),
// checks the angle and folds the direction into it (360 - angle for a
// counter-clockwise turn), and reads the starting point unrounded.
BlockReading ReadBlock(const FieldTexts& fields);

// The largest magnitude of a starting coordinate: beyond it a double, and so
// every reader of the files, holds no such number.
inline constexpr long double kLargestStart = 1E308L;

}  // namespace tavimo
