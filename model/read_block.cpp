#include "model/read_block.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "model/rotate_point.h"
#include "number/exact_decimal.h"
#include "number/number_text.h"
#include "number/text_to_number.h"

namespace tavimo {
namespace {

constexpr char kSizeChangedCaption[] = "Size changed...";
constexpr char kWrongValueCaption[] = "Wrong value";
constexpr char kWidthChangedText[] = "The total width of the cell block has been increased to match the cell width";
constexpr char kHeightChangedText[] =
    "The total height of the cell block has been increased to match the cell height";

// An extent's span that exceeds a whole number of cells by less than a
// billionth of a cell is that number of cells: the excess comes from the
// rounding of its corners and of the turn, not from the extent.
constexpr Extended kSpanSlack = 0x8.9705f4136b4a597p-33L;  // 1e-9, exactly as x87 rounds it

bool IsWhole(Extended value) { return RoundHalfEven(value) == value; }

class Reader {
 public:
  explicit Reader(BlockReading& out) : out_(out) {}

  void Tell(NoticeId id, NoticeIcon icon, std::string caption, std::string text) {
    out_.notices.push_back({id, icon, std::move(caption), std::move(text)});
  }

  void Refuse(RefusalKind kind, Field field, NoticeId id, std::string caption, std::string text,
              NoticeIcon icon = NoticeIcon::kWarning) {
    out_.refusal = Refusal{kind, field};
    Tell(id, icon, std::move(caption), std::move(text));
  }

  void RefuseOption(Field field, std::string text) {
    Refuse(RefusalKind::kWrongOption, field, NoticeId::kWrongOption, kWrongValueCaption, std::move(text));
  }

  // A field's value does not fit the block's 32-bit fields: refused rather
  // than wrapped.
  void RefuseOutOfRange(Field field) {
    Refuse(RefusalKind::kValueOutOfRange, field, NoticeId::kValueOutOfRange, kWrongValueCaption,
           std::string(InfoOf(field).label) + " must be between -2147483648 and 2147483647");
  }

  void RefuseWrongAngle() {
    Refuse(RefusalKind::kWrongAngle, Field::kAngle, NoticeId::kWrongAngle, "Wrong angle",
           "Please enter a value between 0 and 90 degrees", NoticeIcon::kNone);
  }

  std::optional<std::int32_t> Integer(const FieldTexts& fields, Field field) {
    const auto value = RoundToInt32(TextToNumber(fields[field]));
    if (!value) RefuseOutOfRange(field);
    return value;
  }

  void Correct(Field field, std::string text) { out_.corrections.push_back({field, std::move(text)}); }

  // Makes `total` a whole multiple of `cell`, rounding the count of cells up.
  // False when the corrected total would not fit.
  bool Fit(std::int32_t& total, std::int32_t cell, Field field, NoticeId id, const char* text) {
    if (cell == 0) return true;  // an infinite or undefined quotient counts as whole
    const Extended q = static_cast<Extended>(total) / static_cast<Extended>(cell);
    if (q == Floor(q)) return true;
    Tell(id, NoticeIcon::kInformation, kSizeChangedCaption, text);
    const auto fitted = RoundToInt32(Ceil(q) * static_cast<Extended>(cell));
    if (!fitted) {
      RefuseOutOfRange(field);
      return false;
    }
    Correct(field, NumberString(*fitted));
    total = *fitted;
    return true;
  }

  // A coordinate that a double, and so every reader of the files, holds.
  std::optional<Extended> Coordinate(Extended value, Field field, const std::string& label) {
    if (!IsFinite(value)) {
      Refuse(RefusalKind::kStartNotFinite, field, NoticeId::kStartNotFinite, kWrongValueCaption,
             label + " must be a finite number");
      return std::nullopt;
    }
    if (Abs(value) > kLargestStart) {
      Refuse(RefusalKind::kStartOutOfRange, field, NoticeId::kStartOutOfRange, kWrongValueCaption,
             label + " must be between -1E+308 and 1E+308");
      return std::nullopt;
    }
    return value;
  }

  std::optional<Extended> Start(const FieldTexts& fields, Field field) {
    return Coordinate(TextToNumber(fields[field]), field, std::string(InfoOf(field).label));
  }

 private:
  BlockReading& out_;
};

BlockReading ReadWholeBlock(const FieldTexts& fields) {
  BlockReading out;
  Reader reader(out);

  BlockSpec spec;
  // Converted in this order, so that the first field out of range is named.
  for (Field field : {Field::kAngle, Field::kWidthTotal, Field::kHeightTotal, Field::kWidthCell,
                      Field::kHeightCell}) {
    const auto value = reader.Integer(fields, field);
    if (!value) return out;
    switch (field) {
      case Field::kAngle: spec.angle = *value; break;
      case Field::kWidthTotal: spec.widthTotal = *value; break;
      case Field::kHeightTotal: spec.heightTotal = *value; break;
      case Field::kWidthCell: spec.widthCell = *value; break;
      default: spec.heightCell = *value; break;
    }
  }

  if (!reader.Fit(spec.widthTotal, spec.widthCell, Field::kWidthTotal, NoticeId::kWidthChanged, kWidthChangedText))
    return out;
  if (!reader.Fit(spec.heightTotal, spec.heightCell, Field::kHeightTotal, NoticeId::kHeightChanged,
                  kHeightChangedText))
    return out;

  if (spec.angle < 0 || spec.angle > 90) {
    reader.RefuseWrongAngle();
    return out;
  }
  if (!fields.clockwise && fields.counterClockwise) spec.angle = 360 - spec.angle;

  const auto startX = reader.Start(fields, Field::kStartX);
  if (!startX) return out;
  const auto startY = reader.Start(fields, Field::kStartY);
  if (!startY) return out;
  spec.startX = *startX;
  spec.startY = *startY;
  out.spec = spec;
  out.block = CellBlock(spec);
  return out;
}

// One axis of a block read with options: its total and cell size, exactly
// as typed with decimals on, rounded to whole numbers otherwise.
struct Axis {
  Field totalField;
  Field cellField;
  ExactDecimal total;
  ExactDecimal cell;
  std::int64_t count = -1;
};

// Reads a block with options on. The fields that an option replaces are
// not read at all, so their texts cannot refuse the block.
class OptionsReader {
 public:
  OptionsReader(const FieldTexts& fields, const BlockOptions& options, BlockReading& out)
      : fields_(fields), options_(options), out_(out), reader_(out) {}

  void Read() {
    const auto& columns = options_.extent ? std::nullopt : options_.columns;
    const auto& rows = options_.extent ? std::nullopt : options_.rows;
    const bool extent = options_.extent.has_value();
    if (!ReadAngle() || !ReadLength(width_.totalField, width_.total, !extent && !columns) ||
        !ReadLength(height_.totalField, height_.total, !extent && !rows) ||
        !ReadLength(width_.cellField, width_.cell, true) || !ReadLength(height_.cellField, height_.cell, true))
      return;
    if (!extent) {
      if (columns ? !Count(width_, *columns, "Columns")
                  : !FitAxis(width_, NoticeId::kWidthChanged, kWidthChangedText, "columns"))
        return;
      if (rows ? !Count(height_, *rows, "Rows") : !FitAxis(height_, NoticeId::kHeightChanged, kHeightChangedText, "rows"))
        return;
    }
    if (!ReadTurn()) return;
    if (options_.extent) {
      if (!CoverExtent()) return;
    } else if (!options_.baseline) {
      const auto x = reader_.Start(fields_, Field::kStartX);
      if (!x) return;
      const auto y = reader_.Start(fields_, Field::kStartY);
      if (!y) return;
      block_.startX = *x;
      block_.startY = *y;
    }
    block_.widthTotal = width_.total.ToExtended();
    block_.heightTotal = height_.total.ToExtended();
    block_.widthCell = width_.cell.ToExtended();
    block_.heightCell = height_.cell.ToExtended();
    block_.columnCount = width_.count;
    block_.rowCount = height_.count;
    out_.block = block_;
  }

 private:
  // The angle as a number: whole degrees unless decimals are on. Checked
  // with the turn, after the totals, as the dialog's messages come.
  bool ReadAngle() {
    if (options_.baseline) return true;
    if (options_.decimals) {
      angle_ = TextToNumber(fields_[Field::kAngle]);
      return true;
    }
    const auto whole = reader_.Integer(fields_, Field::kAngle);
    if (whole) angle_ = *whole;
    return whole.has_value();
  }

  // A total or cell size; `read` false leaves it 0 for a count or an
  // extent to set.
  bool ReadLength(Field field, ExactDecimal& length, bool read) {
    if (!read) return true;
    const std::string& text = fields_[field];
    if (!options_.decimals) {
      const auto whole = reader_.Integer(fields_, field);
      if (whole) length = ExactDecimal::FromInteger(*whole);
      return whole.has_value();
    }
    length = ReadExactDecimal(text);
    return InRange(field, length);
  }

  // Sizes keep to what a double holds, as coordinates do; whole numbers to
  // 32 bits.
  bool InRange(Field field, const ExactDecimal& length) {
    if (!options_.decimals) {
      if (RoundToInt32(length.ToExtended())) return true;
      reader_.RefuseOutOfRange(field);
      return false;
    }
    if (Abs(length.ToExtended()) <= kLargestStart) return true;
    reader_.Refuse(RefusalKind::kValueOutOfRange, field, NoticeId::kValueOutOfRange, kWrongValueCaption,
                   std::string(InfoOf(field).label) + " must be between -1E+308 and 1E+308");
    return false;
  }

  std::string TextOf(const ExactDecimal& length) const {
    return options_.decimals ? length.Text() : NumberString(length.ToExtended());
  }

  // The total as `count` cells; a count is a whole number from 1 up.
  bool Count(Axis& axis, const std::string& text, const char* name) {
    const Extended value = TextToNumber(text);
    if (!(value >= 1 && value <= kLargestCount && IsWhole(value))) {
      reader_.RefuseOption(axis.totalField, std::string(name) + " must be a whole number from 1 to 2147483647");
      return false;
    }
    return SetCount(axis, static_cast<std::int64_t>(value));
  }

  bool SetCount(Axis& axis, std::int64_t count) {
    axis.total = axis.cell * count;
    if (!InRange(axis.totalField, axis.total)) return false;
    axis.count = axis.cell.IsZero() ? -1 : count;
    reader_.Correct(axis.totalField, TextOf(axis.total));
    return true;
  }

  // The total made a whole multiple of the cell size, decided on the exact
  // values: 0.3 is three cells of 0.1.
  bool FitAxis(Axis& axis, NoticeId id, const char* text, const char* cells) {
    if (axis.cell.IsZero()) return true;  // no cells of that family
    const auto fit = FitToMultiple(axis.total, axis.cell, kLargestCount);
    if (!fit) {
      reader_.RefuseOption(axis.totalField, std::string("The block cannot have more than 2147483647 ") + cells);
      return false;
    }
    axis.count = fit->count;
    if (fit->whole) return true;
    reader_.Tell(id, NoticeIcon::kInformation, kSizeChangedCaption, text);
    axis.total = fit->total;
    if (!InRange(axis.totalField, axis.total)) return false;
    reader_.Correct(axis.totalField, TextOf(axis.total));
    return true;
  }

  bool ReadTurn() {
    if (options_.baseline) {
      const auto& texts = *options_.baseline;
      std::array<Extended, 4> p{};
      for (std::size_t i = 0; i < 4; ++i) {
        static constexpr const char* kNames[] = {"The baseline's X1", "The baseline's Y1", "The baseline's X2",
                                                 "The baseline's Y2"};
        const auto value = reader_.Coordinate(TextToNumber(texts[i]), i % 2 ? Field::kStartY : Field::kStartX,
                                              kNames[i]);
        if (!value) return false;
        p[i] = *value;
      }
      const Turn turn = Turn::Vector(p[2] - p[0], p[3] - p[1]);
      // Points so close that the squares of their distance vanish give no
      // direction either.
      if (turn.dx * turn.dx + turn.dy * turn.dy == 0) {
        reader_.RefuseOption(Field::kAngle, "The baseline's two points must lie apart: they give the block's direction");
        return false;
      }
      block_.turn = turn;
      block_.startX = p[0];
      block_.startY = p[1];
      return true;
    }
    if (!(angle_ >= 0 && angle_ <= 90)) {
      reader_.RefuseWrongAngle();
      return false;
    }
    const bool counterClockwise = !fields_.clockwise && fields_.counterClockwise;
    if (counterClockwise) angle_ = 360 - angle_;
    block_.turn = Turn::Degrees(angle_);
    return true;
  }

  // The block whose cells just cover the extent: its corners projected on
  // the block's axes from the extent's lower-left corner give the spans;
  // the block starts where the smallest of both meet and has as many whole
  // cells as cover each span.
  bool CoverExtent() {
    std::array<Extended, 4> e{};
    static constexpr const char* kNames[] = {"The extent's XMIN", "The extent's YMIN", "The extent's XMAX",
                                             "The extent's YMAX"};
    for (std::size_t i = 0; i < 4; ++i) {
      const auto value = reader_.Coordinate(TextToNumber((*options_.extent)[i]),
                                            i % 2 ? Field::kStartY : Field::kStartX, kNames[i]);
      if (!value) return false;
      e[i] = *value;
    }
    if (e[0] > e[2] || e[1] > e[3]) {
      reader_.RefuseOption(Field::kStartX, "The extent's XMIN and YMIN must not exceed its XMAX and YMAX");
      return false;
    }
    for (const Axis* axis : {&width_, &height_}) {
      if (axis->cell.ToExtended() > 0) continue;
      reader_.RefuseOption(axis->cellField,
                           std::string(InfoOf(axis->cellField).label) + " must be greater than 0 to cover an extent");
      return false;
    }
    const Rotation rotation(block_.turn);
    const Extended c = rotation.cosine();
    const Extended s = rotation.sine();
    const Extended w = e[2] - e[0];
    const Extended h = e[3] - e[1];
    Extended uMin = 0, uMax = 0, vMin = 0, vMax = 0;
    for (const auto& [x, y] : {std::pair<Extended, Extended>{w, 0}, std::pair<Extended, Extended>{0, h}, std::pair{w, h}}) {
      const Extended u = x * c - y * s;
      const Extended v = x * s + y * c;
      uMin = std::min(uMin, u);
      uMax = std::max(uMax, u);
      vMin = std::min(vMin, v);
      vMax = std::max(vMax, v);
    }
    Extended x1, y1;
    rotation.Hor(e[0], e[1], uMin, x1, y1);
    rotation.Ver(x1, y1, vMin, block_.startX, block_.startY);
    if (!CoverSpan(width_, uMax - uMin, "columns") || !CoverSpan(height_, vMax - vMin, "rows")) return false;
    return reader_.Coordinate(block_.startX, Field::kStartX, "The block's starting X").has_value() &&
           reader_.Coordinate(block_.startY, Field::kStartY, "The block's starting Y").has_value();
  }

  bool CoverSpan(Axis& axis, Extended span, const char* cells) {
    const Extended needed = std::max<Extended>(1, Ceil(span / axis.cell.ToExtended() - kSpanSlack));
    if (!(needed <= kLargestCount)) {
      reader_.RefuseOption(axis.totalField,
                           std::string("Covering the extent takes more than 2147483647 ") + cells + " of cells");
      return false;
    }
    return SetCount(axis, static_cast<std::int64_t>(needed));
  }

  const FieldTexts& fields_;
  const BlockOptions& options_;
  BlockReading& out_;
  Reader reader_;
  Extended angle_ = 0;
  Axis width_{Field::kWidthTotal, Field::kWidthCell, {}, {}};
  Axis height_{Field::kHeightTotal, Field::kHeightCell, {}, {}};
  CellBlock block_;
};

// The label scheme the options describe, checked against the block's
// counts; a refusal drops the block.
void ReadLabels(const BlockOptions& options, BlockReading& out) {
  Reader reader(out);
  LabelScheme& scheme = out.block->labels;
  auto refuse = [&](std::string text) {
    reader.RefuseOption(Field::kStartX, std::move(text));
    out.block.reset();
    out.spec.reset();
  };
  if (options.labels) {
    auto read = LabelTemplate::Read(*options.labels);
    if (const auto* why = std::get_if<std::string>(&read)) return refuse("Label template: " + *why);
    scheme.labelTemplate = std::get<LabelTemplate>(std::move(read));
  }
  for (const auto& [text, first, name] : {std::tuple{&options.firstColumn, &scheme.firstColumn, "First column"},
                                          std::tuple{&options.firstRow, &scheme.firstRow, "First row"}}) {
    if (!*text) continue;
    const auto value = RoundToInt32(TextToNumber(**text));
    if (!value || *value != TextToNumber(**text))
      return refuse(std::string(name) + " must be a whole number between -2147483648 and 2147483647");
    *first = *value;
  }
  if (options.labelHeight) {
    const Extended height = TextToNumber(*options.labelHeight);
    if (!(height > 0 && height <= kLargestStart)) return refuse("Label height must be greater than 0");
    scheme.height = height;
  }
  scheme.corner = options.corner;
  scheme.order = options.order;
  scheme.atCentre = options.labelsAtCentre;
  if (const auto why = CellNumbering(scheme, out.block->columnCount, out.block->rowCount).Check())
    return refuse("The cells cannot be labelled so: " + *why);
}

}  // namespace

BlockReading ReadBlock(const FieldTexts& fields, const BlockOptions& options) {
  BlockReading out;
  if (options.AnyOn()) {
    OptionsReader(fields, options, out).Read();
  } else {
    out = ReadWholeBlock(fields);
  }
  if (out.block && options.AnyLabelOn()) ReadLabels(options, out);
  return out;
}

}  // namespace tavimo
