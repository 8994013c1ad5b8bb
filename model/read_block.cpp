#include "model/read_block.h"

#include <cmath>
#include <string>

#include "number/text_to_number.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

constexpr char kSizeChangedCaption[] = "Size changed...";
constexpr char kWrongValueCaption[] = "Wrong value";

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

  // A field's value does not fit the block's 32-bit fields: refused rather
  // than wrapped.
  void RefuseOutOfRange(Field field) {
    Refuse(RefusalKind::kValueOutOfRange, field, NoticeId::kValueOutOfRange, kWrongValueCaption,
           std::string(InfoOf(field).label) + " must be between -2147483648 and 2147483647");
  }

  std::optional<std::int32_t> Integer(const FieldTexts& fields, Field field) {
    const auto value = RoundToInt32(TextToNumber(fields[field]));
    if (!value) RefuseOutOfRange(field);
    return value;
  }

  // Makes `total` a whole multiple of `cell`, rounding the count of cells up.
  // False when the corrected total would not fit.
  bool Fit(std::int32_t& total, std::int32_t cell, Field field, NoticeId id, const char* text) {
    if (cell == 0) return true;  // an infinite or undefined quotient counts as whole
    const long double q = static_cast<long double>(total) / static_cast<long double>(cell);
    if (q == std::floor(q)) return true;
    Tell(id, NoticeIcon::kInformation, kSizeChangedCaption, text);
    const auto fitted = RoundToInt32(std::ceil(q) * static_cast<long double>(cell));
    if (!fitted) {
      RefuseOutOfRange(field);
      return false;
    }
    out_.corrections.push_back({field, total, *fitted, NumberString(*fitted)});
    total = *fitted;
    return true;
  }

  std::optional<long double> Start(const FieldTexts& fields, Field field) {
    const long double value = TextToNumber(fields[field]);
    const std::string label(InfoOf(field).label);
    if (!std::isfinite(value)) {
      Refuse(RefusalKind::kStartNotFinite, field, NoticeId::kStartNotFinite, kWrongValueCaption,
             label + " must be a finite number");
      return std::nullopt;
    }
    if (std::fabs(value) > kLargestStart) {
      Refuse(RefusalKind::kStartOutOfRange, field, NoticeId::kStartOutOfRange, kWrongValueCaption,
             label + " must be between -1E+308 and 1E+308");
      return std::nullopt;
    }
    return value;
  }

 private:
  BlockReading& out_;
};

}  // namespace

BlockReading ReadBlock(const FieldTexts& fields) {
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

  if (!reader.Fit(spec.widthTotal, spec.widthCell, Field::kWidthTotal, NoticeId::kWidthChanged,
                  "The total width of the cell block has been increased to match the cell width"))
    return out;
  if (!reader.Fit(spec.heightTotal, spec.heightCell, Field::kHeightTotal, NoticeId::kHeightChanged,
                  "The total height of the cell block has been increased to match the cell height"))
    return out;

  if (spec.angle < 0 || spec.angle > 90) {
    reader.Refuse(RefusalKind::kWrongAngle, Field::kAngle, NoticeId::kWrongAngle, "Wrong angle",
                  "Please enter a value between 0 and 90 degrees", NoticeIcon::kNone);
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
  return out;
}

}  // namespace tavimo
