#pragma once
// The cells and grid lines of a block as the GIS formats take them: each
// cell a closed ring of doubles, counter-clockwise, on the points where the
// DXF file's grid lines meet, with its column, row, label text and label
// point and angle; each grid line its two ends. Worked out the same way for every
// format and for the spatial index, so that all of them hold the same bits.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include "number/extended.h"

#include "export/put_text.h"
#include "model/block_layout.h"

namespace tavimo::gis {

// A cell's or a line's bounding box.
struct Box {
  double minX, maxX, minY, maxY;
};

// `box` taken into `into`; the first of a series starts it.
inline void Include(Box& into, const Box& box, bool first) {
  if (first) {
    into = box;
    return;
  }
  into.minX = std::min(into.minX, box.minX);
  into.maxX = std::max(into.maxX, box.maxX);
  into.minY = std::min(into.minY, box.minY);
  into.maxY = std::max(into.maxY, box.maxY);
}

struct Cell {
  std::int64_t column;  // from 1
  std::int64_t row;     // from 1
  double x[5], y[5];    // the ring, counter-clockwise in x east, y north; the last point is the first
  // The ring's points as corners: 0 at (column, row), 1 at the next column
  // line, 2 at both next lines, 3 at the next row line.
  int corner[5];
  // Whether corners 0 and 3 are corners 1 and 2 of the cell the walk gave
  // just before: the next in the row shares two corners with it.
  bool followsInRow;
  Box box;
  double labelX, labelY;
  double labelAngle;  // GisLabelAngle: the same for every cell of the block
  char label[kLongestLabel + 1];  // the DXF's TEXT of the cell, such as "3-2"
  std::size_t labelSize;
};

// Where column line i meets row line j, as the double the files hold.
inline void Corner(const BlockLayout& layout, std::int64_t i, std::int64_t j, double& x, double& y) {
  Extended lx, ly;
  layout.GridPoint(i, j, lx, ly);
  x = static_cast<double>(lx);
  y = static_cast<double>(ly);
}

inline Box BoxOf(const double* x, const double* y, int points) {
  Box b{x[0], x[0], y[0], y[0]};
  for (int k = 1; k < points; ++k) {
    b.minX = std::min(b.minX, x[k]);
    b.maxX = std::max(b.maxX, x[k]);
    b.minY = std::min(b.minY, y[k]);
    b.maxY = std::max(b.maxY, y[k]);
  }
  return b;
}

// The box of cell (column0, row0), counted from 0: what Cells::At gives
// in Cell::box, for the spatial index, which visits the cells in another
// order.
inline Box CellBox(const BlockLayout& layout, std::int64_t column0, std::int64_t row0) {
  double x[4], y[4];
  Corner(layout, column0, row0, x[0], y[0]);
  Corner(layout, column0 + 1, row0, x[1], y[1]);
  Corner(layout, column0 + 1, row0 + 1, x[2], y[2]);
  Corner(layout, column0, row0 + 1, x[3], y[3]);
  return BoxOf(x, y, 4);
}

// The cells in the DXF's order: row by row, columns increasing within a
// row, cell k (from 0) being column k % columns, row k / columns. One walk
// per thread: it keeps the corners and label moves it has worked out.
class Cells {
 public:
  explicit Cells(const BlockLayout& layout)
      : layout_(&layout),
        labels_(layout),
        numbering_(layout.block().labels, layout.columnCount(), layout.rowCount()),
        columnRow_(layout.block().labels.IsColumnRow()),
        labelAngle_(GisLabelAngle(layout.block())),
        counterClockwise_((layout.block().widthCell > 0) == (layout.block().heightCell > 0)) {}

  std::uint64_t count() const { return layout_->labelCount(); }

  void At(std::uint64_t index, Cell& cell) {
    const auto columns = static_cast<std::uint64_t>(layout_->columnCount());
    const auto c = static_cast<std::int64_t>(index % columns);
    const auto r = static_cast<std::int64_t>(index / columns);
    // The left corners are the right ones of the cell before in the row.
    cell.followsInRow = r == row_ && c == next_;
    if (cell.followsInRow) {
      left_[0] = right_[0];
      left_[1] = right_[1];
    } else {
      Corner(*layout_, c, r, left_[0].x, left_[0].y);
      Corner(*layout_, c, r + 1, left_[1].x, left_[1].y);
    }
    Corner(*layout_, c + 1, r, right_[0].x, right_[0].y);
    Corner(*layout_, c + 1, r + 1, right_[1].x, right_[1].y);
    row_ = r;
    next_ = c + 1;

    const double dx[4] = {left_[0].x, right_[0].x, right_[1].x, left_[1].x};
    const double dy[4] = {left_[0].y, right_[0].y, right_[1].y, left_[1].y};
    for (int k = 0; k < 4; ++k) {
      const int from = counterClockwise_ ? k : (4 - k) % 4;
      cell.x[k] = dx[from];
      cell.y[k] = dy[from];
      cell.corner[k] = from;
    }
    cell.x[4] = dx[0];
    cell.y[4] = dy[0];
    cell.corner[4] = 0;
    cell.box = BoxOf(dx, dy, 4);

    const CellLabel label = labels_.At(c, r);
    cell.column = label.column;
    cell.row = label.row;
    cell.labelX = static_cast<double>(label.x);
    cell.labelY = static_cast<double>(label.y);
    cell.labelAngle = labelAngle_;
    if (!columnRow_) {
      // A template's text, no longer than the save allows.
      text_.clear();
      numbering_.Append(text_, c, r);
      cell.labelSize = std::min(text_.size(), kLongestLabel);
      std::memcpy(cell.label, text_.data(), cell.labelSize);
      return;
    }
    // TrimLeadingBlanks(NumberString(column)) "-" and the row alike.
    char* end = put::PutTrimmedCellNumber(cell.label, label.column);
    end = put::PutDashAndTrimmed(end, static_cast<Extended>(label.row));
    cell.labelSize = static_cast<std::size_t>(end - cell.label);
  }

 private:
  struct Point {
    double x, y;
  };
  const BlockLayout* layout_;
  LabelWalk labels_;
  CellNumbering numbering_;
  bool columnRow_;
  double labelAngle_;
  std::string text_;
  // Whether column, row, next column, next row goes round counter-clockwise.
  // The turn keeps the way round; a negative cell size mirrors it. Every
  // cell goes the same way: the refused blocks aside, rounding the corners
  // to doubles moves them too little to turn a cell over. (Their area
  // summed from the doubles can come out with the wrong sign far from the
  // origin, where its terms cancel.)
  bool counterClockwise_;
  std::int64_t row_ = -1;
  std::int64_t next_ = -1;
  Point left_[2]{};   // the cell's corners at its row's line and the next
  Point right_[2]{};
};

// A grid line: its two ends as doubles.
struct Line {
  double x[2], y[2];
  Box box;
};

// The DXF's LINE entities in their order: column lines, then row lines.
inline Line LineAt(const BlockLayout& layout, std::uint64_t index) {
  const auto columnLines = static_cast<std::uint64_t>(layout.columnCount() + 1);
  const GridLine g = index < columnLines ? layout.ColumnLine(static_cast<std::int64_t>(index))
                                         : layout.RowLine(static_cast<std::int64_t>(index - columnLines));
  Line line{{static_cast<double>(g.startX), static_cast<double>(g.endX)},
            {static_cast<double>(g.startY), static_cast<double>(g.endY)},
            {}};
  line.box = BoxOf(line.x, line.y, 2);
  return line;
}

// The largest magnitude of any coordinate of the block (the block's corners
// bound every point of it), infinite when one is not a finite number.
Extended LargestCoordinate(const BlockLayout& layout);

// Why the block cannot be written as polygons of doubles, or nothing: no
// cell with an area, beyond double's range, or cells too small for their
// distance from the origin. The same for every GIS format.
std::optional<std::string> Refusal(const BlockLayout& layout);

}  // namespace tavimo::gis
