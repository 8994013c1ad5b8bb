#pragma once
// The seven fields a block is typed into, with their labels and initial
// texts: one table for the dialog and the exporter.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tavimo {

// In the order the fields are read.
enum class Field { kStartX, kStartY, kWidthTotal, kHeightTotal, kWidthCell, kHeightCell, kAngle };
inline constexpr std::size_t kFieldCount = 7;

struct FieldInfo {
  Field field;
  std::string_view label;        // as the dialog labels it, and messages name it
  std::string_view initialText;  // the default block
};

inline constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::kStartX, "X", "10"},
    {Field::kStartY, "Y", "10"},
    {Field::kWidthTotal, "Width Total", "50"},
    {Field::kHeightTotal, "Height Total", "50"},
    {Field::kWidthCell, "Width Cell", "5"},
    {Field::kHeightCell, "Height Cell", "5"},
    {Field::kAngle, "Angle", "0"},
}};

constexpr const FieldInfo& InfoOf(Field field) { return kFields[static_cast<std::size_t>(field)]; }

// What the user typed and chose, read once: the fields' texts and the two
// direction buttons.
struct FieldTexts {
  std::array<std::string, kFieldCount> texts;
  bool clockwise = true;
  bool counterClockwise = false;

  std::string& operator[](Field field) { return texts[static_cast<std::size_t>(field)]; }
  const std::string& operator[](Field field) const { return texts[static_cast<std::size_t>(field)]; }

  // The dialog's initial state: the default block, turned clockwise.
  static FieldTexts Initial() {
    FieldTexts initial;
    for (const FieldInfo& info : kFields) initial[info.field] = std::string(info.initialText);
    return initial;
  }
};

}  // namespace tavimo
