#pragma once
// How cells are labelled: a template of the column, the row and a running
// number, where counting starts, which corner is column 1 row 1, and the
// order of the running number. The default is the column-row form counted
// from the starting point, which every file has always carried.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
#include "number/extended.h"

namespace tavimo {

// The corner of column 1, row 1, named as at angle 0: the starting point is
// the lower left one.
enum class LabelCorner { kLowerLeft, kLowerRight, kUpperLeft, kUpperRight };

// The order the running number {n} takes: row by row, column by column, or
// row by row turning back at each row's end.
enum class NumberOrder { kRows, kColumns, kSerpentine };

// A label template read into its pieces: literal text, and {col}, {row} or
// {n} with an optional format: 03 pads with zeros to three characters, A
// and a give letters (1 is A, 26 is Z, 27 is AA). {{ and }} are braces.
class LabelTemplate {
 public:
  enum class Value { kColumn, kRow, kNumber };
  enum class Style { kDecimal, kUpper, kLower };
  struct Piece {
    std::string text;  // literal text, when `value` is empty
    std::optional<Value> value;
    Style style = Style::kDecimal;
    int width = 0;  // zero padding
  };

  // The template, or why it cannot be one.
  static std::variant<LabelTemplate, std::string> Read(std::string_view text);

  // "{col}-{row}": the writers' own fast form.
  bool IsColumnRow() const;
  const std::vector<Piece>& pieces() const { return pieces_; }

  // Appends the label of a cell.
  void Append(std::string& out, std::int64_t column, std::int64_t row, std::int64_t n) const;

 private:
  std::vector<Piece> pieces_;
};

inline constexpr std::string_view kColumnRowTemplate = "{col}-{row}";
// Longer labels no CAD program shows whole (a DXF TEXT holds 255 bytes).
inline constexpr std::size_t kLongestLabel = 250;

struct LabelScheme {
  LabelTemplate labelTemplate = std::get<LabelTemplate>(LabelTemplate::Read(kColumnRowTemplate));
  std::int64_t firstColumn = 1;
  std::int64_t firstRow = 1;
  LabelCorner corner = LabelCorner::kLowerLeft;
  NumberOrder order = NumberOrder::kRows;
  // The label at the cell's centre instead of just inside its corner
  // nearest the starting point.
  bool atCentre = false;
  // The DXF text height; a tenth of the cell width when not given.
  std::optional<Extended> height;

  // Every label's text as the column-row form has always written it.
  bool IsColumnRow() const {
    return labelTemplate.IsColumnRow() && firstColumn == 1 && firstRow == 1 && corner == LabelCorner::kLowerLeft;
  }
};

// The numbers a cell's label shows, worked out from its place in the block
// (column0, row0 from 0 at the starting point).
class CellNumbering {
 public:
  CellNumbering(const LabelScheme& scheme, std::int64_t columns, std::int64_t rows);
  struct Numbers {
    std::int64_t column, row, n;
  };
  Numbers Of(std::int64_t column0, std::int64_t row0) const;

  // Why the scheme cannot label this block (letters for numbers below 1,
  // labels longer than kLongestLabel), or nothing.
  std::optional<std::string> Check() const;
  // The length of the block's longest label.
  std::size_t LongestLabel() const;

  // The label of a cell.
  void Append(std::string& out, std::int64_t column0, std::int64_t row0) const;

 private:
  const LabelScheme& scheme_;
  std::int64_t columns_, rows_;
  bool flipColumns_, flipRows_;
};

}  // namespace tavimo
