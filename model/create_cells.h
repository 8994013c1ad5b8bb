#pragma once
#include <functional>
#include <string_view>

#include "model/cell_block.h"
#include "model/dialog_port.h"

namespace tavimo {

// The receivers of a finished block: the preview for "screen", the save
// command for "save".
struct CellTargets {
  std::function<void(const BlockSpec&)> screen;
  std::function<void(const BlockSpec&)> save;
};

// Reads the dialog's fields afresh, corrects and checks them (with the
// dialog's messages), then hands the block to the receiver that `target`
// names ("screen" or "save", byte for byte); any other word does nothing.
void CreateCells(DialogPort& dialog, std::string_view target, const CellTargets& targets);

// Message texts and captions of CreateCells.
inline constexpr std::string_view kSizeChangedCaption = "Size changed...";
inline constexpr std::string_view kWidthChangedText =
    "The total width of the cell block has been increased to match the cell width";
inline constexpr std::string_view kHeightChangedText =
    "The total height of the cell block has been increased to match the cell height";
inline constexpr std::string_view kWrongAngleCaption = "Wrong angle";
inline constexpr std::string_view kWrongAngleText = "Please enter a value between 0 and 90 degrees";
inline constexpr std::string_view kWrongValueCaption = "Wrong value";

}  // namespace tavimo
