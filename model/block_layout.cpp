#include "model/block_layout.h"

#include <algorithm>

#include "model/rotate_point.h"

namespace tavimo {
namespace {

std::uint64_t LinesOf(std::int64_t count) { return count >= 0 ? static_cast<std::uint64_t>(count) + 1 : 0; }

}  // namespace

BlockLayout::BlockLayout(const CellBlock& block)
    : block_(block),
      columnCount_(block.columnCount),
      rowCount_(block.rowCount),
      rotation_(block.turn),
      labelRotation_(block.turn.LessNinety()),
      labelU_(std::min(block.widthCell, block.heightCell) / 50),
      labelV_(labelU_) {
  if (block.labels.atCentre) {
    labelU_ = block.widthCell / 2;
    labelV_ = block.heightCell / 2;
  }
}

std::uint64_t BlockLayout::lineCount() const { return LinesOf(columnCount_) + LinesOf(rowCount_); }

std::uint64_t BlockLayout::labelCount() const {
  if (columnCount_ <= 0 || rowCount_ <= 0) return 0;
  return static_cast<std::uint64_t>(columnCount_) * static_cast<std::uint64_t>(rowCount_);
}

}  // namespace tavimo
