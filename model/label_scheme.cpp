#include "model/label_scheme.h"

#include <algorithm>
#include <charconv>

namespace tavimo {
namespace {

void AppendLetters(std::string& out, std::int64_t value, char a) {
  char letters[16];
  int size = 0;
  for (std::uint64_t v = static_cast<std::uint64_t>(value); v > 0; v = (v - 1) / 26)
    letters[size++] = static_cast<char>(a + (v - 1) % 26);
  while (size > 0) out += letters[--size];
}

void AppendValue(std::string& out, const LabelTemplate::Piece& piece, std::int64_t value) {
  switch (piece.style) {
    case LabelTemplate::Style::kUpper: AppendLetters(out, value, 'A'); return;
    case LabelTemplate::Style::kLower: AppendLetters(out, value, 'a'); return;
    case LabelTemplate::Style::kDecimal: break;
  }
  char digits[24];
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  const int count = static_cast<int>(end - digits) + (value < 0 ? 1 : 0);
  if (value < 0) out += '-';
  out.append(static_cast<std::size_t>(std::max(0, piece.width - count)), '0');
  out.append(digits, static_cast<std::size_t>(end - digits));
}

std::size_t LengthOf(const LabelTemplate::Piece& piece, std::int64_t value) {
  std::string text;
  AppendValue(text, piece, value);
  return text.size();
}

}  // namespace

std::variant<LabelTemplate, std::string> LabelTemplate::Read(std::string_view text) {
  LabelTemplate result;
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) result.pieces_.push_back({std::move(literal), std::nullopt});
    literal.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 32 || c == 127)
      return std::string("a label cannot hold control characters (line breaks, tabs, NUL): every file keeps a label "
                         "on one line");
    if (c == '}') {
      if (i + 1 < text.size() && text[i + 1] == '}') {
        literal += '}';
        ++i;
        continue;
      }
      return std::string("a \"}\" without its \"{\"; write \"}}\" for a brace");
    }
    if (c != '{') {
      literal += static_cast<char>(c);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '{') {
      literal += '{';
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i);
    if (close == std::string_view::npos) return std::string("a \"{\" without its \"}\"; write \"{{\" for a brace");
    const std::string_view inside = text.substr(i + 1, close - i - 1);
    const std::size_t colon = inside.find(':');
    const std::string_view name = inside.substr(0, colon);
    const std::string_view format = colon == std::string_view::npos ? std::string_view() : inside.substr(colon + 1);
    Piece piece;
    if (name == "col") {
      piece.value = Value::kColumn;
    } else if (name == "row") {
      piece.value = Value::kRow;
    } else if (name == "n") {
      piece.value = Value::kNumber;
    } else {
      return "unknown field {" + std::string(inside) + "}: the fields are {col}, {row} and {n}";
    }
    if (format == "A") {
      piece.style = Style::kUpper;
    } else if (format == "a") {
      piece.style = Style::kLower;
    } else if (!format.empty()) {
      int width = 0;
      const auto [end, error] = std::from_chars(format.data(), format.data() + format.size(), width);
      if (format[0] != '0' || format.size() < 2 || error != std::errc() || end != format.data() + format.size() ||
          width > static_cast<int>(kLongestLabel))
        return "unknown format {" + std::string(inside) +
               "}: a format is A or a for letters, or 0 and a width for zeros in front (03)";
      piece.width = width;
    }
    flush();
    result.pieces_.push_back(std::move(piece));
    i = close;
  }
  flush();
  return result;
}

bool LabelTemplate::IsColumnRow() const {
  return pieces_.size() == 3 && pieces_[0].value == Value::kColumn && pieces_[0].style == Style::kDecimal &&
         pieces_[0].width == 0 && !pieces_[1].value && pieces_[1].text == "-" && pieces_[2].value == Value::kRow &&
         pieces_[2].style == Style::kDecimal && pieces_[2].width == 0;
}

void LabelTemplate::Append(std::string& out, std::int64_t column, std::int64_t row, std::int64_t n) const {
  for (const Piece& piece : pieces_) {
    if (!piece.value) {
      out += piece.text;
      continue;
    }
    AppendValue(out, piece, *piece.value == Value::kColumn ? column : *piece.value == Value::kRow ? row : n);
  }
}

CellNumbering::CellNumbering(const LabelScheme& scheme, std::int64_t columns, std::int64_t rows)
    : scheme_(scheme),
      columns_(std::max<std::int64_t>(columns, 0)),
      rows_(std::max<std::int64_t>(rows, 0)),
      flipColumns_(scheme.corner == LabelCorner::kLowerRight || scheme.corner == LabelCorner::kUpperRight),
      flipRows_(scheme.corner == LabelCorner::kUpperLeft || scheme.corner == LabelCorner::kUpperRight) {}

CellNumbering::Numbers CellNumbering::Of(std::int64_t column0, std::int64_t row0) const {
  const std::int64_t c = flipColumns_ ? columns_ - 1 - column0 : column0;
  const std::int64_t r = flipRows_ ? rows_ - 1 - row0 : row0;
  std::int64_t n = 0;
  switch (scheme_.order) {
    case NumberOrder::kRows: n = r * columns_ + c; break;
    case NumberOrder::kColumns: n = c * rows_ + r; break;
    case NumberOrder::kSerpentine: n = r * columns_ + (r % 2 == 0 ? c : columns_ - 1 - c); break;
  }
  return {scheme_.firstColumn + c, scheme_.firstRow + r, n + 1};
}

std::size_t CellNumbering::LongestLabel() const {
  if (columns_ == 0 || rows_ == 0) return 0;
  const std::int64_t firsts[] = {scheme_.firstColumn, scheme_.firstRow, 1};
  const std::int64_t lasts[] = {scheme_.firstColumn + columns_ - 1, scheme_.firstRow + rows_ - 1, columns_ * rows_};
  std::size_t longest = 0;
  for (const LabelTemplate::Piece& piece : scheme_.labelTemplate.pieces()) {
    if (!piece.value) {
      longest += piece.text.size();
      continue;
    }
    const auto index = static_cast<std::size_t>(*piece.value);
    // Letters of a number below 1 are refused; the ends of a range hold its
    // longest texts.
    const std::int64_t least = piece.style == LabelTemplate::Style::kDecimal ? firsts[index] : 1;
    longest += std::max(LengthOf(piece, std::max(firsts[index], least)), LengthOf(piece, std::max(lasts[index], least)));
  }
  return longest;
}

std::optional<std::string> CellNumbering::Check() const {
  if (columns_ == 0 || rows_ == 0) return std::nullopt;
  const std::int64_t firsts[] = {scheme_.firstColumn, scheme_.firstRow, 1};
  static constexpr const char* kNames[] = {"column", "row", "running number"};
  for (const LabelTemplate::Piece& piece : scheme_.labelTemplate.pieces()) {
    if (!piece.value) continue;
    const auto index = static_cast<std::size_t>(*piece.value);
    if (piece.style != LabelTemplate::Style::kDecimal && firsts[index] < 1)
      return std::string("letters count from 1 (A), but a ") + kNames[index] + " starts at " +
             std::to_string(firsts[index]);
  }
  const std::size_t longest = LongestLabel();
  if (longest > kLongestLabel)
    return "labels of up to " + std::to_string(longest) + " characters are longer than the " +
           std::to_string(kLongestLabel) + " a label may have";
  return std::nullopt;
}

void CellNumbering::Append(std::string& out, std::int64_t column0, std::int64_t row0) const {
  const Numbers numbers = Of(column0, row0);
  scheme_.labelTemplate.Append(out, numbers.column, numbers.row, numbers.n);
}

}  // namespace tavimo
