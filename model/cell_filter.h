#pragma once
// Which cells of a block a save keeps, told row by row: a clip area is
// decided one row at a time, so that nothing grows with the block.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tavimo {

// Columns first .. last - 1 (from 0) of one row.
struct ColumnRange {
  std::int64_t first;
  std::int64_t last;
  bool operator==(const ColumnRange&) const = default;
};

// Which cells an area keeps: those that share some of their area with it
// (an edge or a corner on its boundary is not enough), those that lie
// wholly inside it, or those whose centre does.
enum class ClipMode { kTouches, kInside, kCentre };

// The mode's name as the exporter takes it ("touches", "inside",
// "centre"), or false.
bool ClipModeNamed(std::string_view name, ClipMode& mode);

class CellFilter {
 public:
  virtual ~CellFilter() = default;
  // The first row from `row0` on that may keep cells; any number past the
  // block's last row when none does. Walks skip the rows in between.
  virtual std::int64_t NextRow(std::int64_t row0) = 0;
  // The columns kept in row `row0` (from 0) into `out`, replacing what it
  // held: sorted, within the block's columns, and apart (a range never ends
  // where the next begins). Cheapest when asked row after row.
  virtual void KeptColumns(std::int64_t row0, std::vector<ColumnRange>& out) = 0;
  // A filter of its own for another thread, keeping the same cells; null
  // where there is none (one thread then does the work).
  virtual std::unique_ptr<CellFilter> Clone() const { return nullptr; }
};

}  // namespace tavimo
