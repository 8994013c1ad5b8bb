// The clipped walk against a count by hand: every edge of the kept cells
// once, collinear neighbours joined, in the walk's order; labels of the
// kept cells with their numbers in the whole block; an area over the whole
// block is the whole walk, bit for bit.

#include "model/clipped_walk.h"

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "model/block_layout.h"

namespace tavimo {
namespace {

// Keeps the cells of a grid of flags.
class SetFilter : public CellFilter {
 public:
  explicit SetFilter(std::vector<std::vector<bool>> kept) : kept_(std::move(kept)) {}
  std::int64_t NextRow(std::int64_t row0) override {
    ++rowsAsked;
    for (auto r = static_cast<std::size_t>(row0); r < kept_.size(); ++r)
      for (const bool k : kept_[r])
        if (k) return static_cast<std::int64_t>(r);
    return static_cast<std::int64_t>(kept_.size());
  }
  void KeptColumns(std::int64_t row0, std::vector<ColumnRange>& out) override {
    ++rowsAsked;
    out.clear();
    const std::vector<bool>& row = kept_[static_cast<std::size_t>(row0)];
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (!row[c]) continue;
      if (!out.empty() && out.back().last == static_cast<std::int64_t>(c))
        ++out.back().last;
      else
        out.push_back({static_cast<std::int64_t>(c), static_cast<std::int64_t>(c) + 1});
    }
  }
  std::unique_ptr<CellFilter> Clone() const override { return std::make_unique<SetFilter>(kept_); }
  int rowsAsked = 0;

 private:
  std::vector<std::vector<bool>> kept_;
};

CellBlock UnitBlock(int columns, int rows) {
  return BlockSpec{0, 0, columns, rows, 1, 1, 0};  // grid points are their indices
}

// A unit edge: vertical (x, y)-(x, y+1) or horizontal (x, y)-(x+1, y).
using Edge = std::tuple<bool, long long, long long>;

TEST(ClippedWalk, EveryKeptEdgeOnceAndCollinearNeighboursJoined) {
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    const int columns = 1 + round % 7, rows = 1 + round / 7 % 6;
    std::vector<std::vector<bool>> kept(rows, std::vector<bool>(columns));
    std::set<Edge> expected;
    std::vector<std::pair<long long, long long>> cells;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        if (random() % 3 == 0) continue;  // holes, parts and empty rows
        kept[r][c] = true;
        cells.emplace_back(c + 1, r + 1);
        expected.insert({true, c, r});
        expected.insert({true, c + 1, r});
        expected.insert({false, c, r});
        expected.insert({false, c, r + 1});
      }
    }
    SCOPED_TRACE(round);
    const BlockLayout layout(UnitBlock(columns, rows));
    SetFilter filter(kept);
    ClippedWalk walk(layout, filter);

    std::multiset<Edge> seen;
    std::vector<std::tuple<bool, long long, long long, long long>> order;  // vertical?, stop or row, column
    ASSERT_TRUE(walk.WalkLines([&](const GridLine& g) {
      const bool vertical = g.startX == g.endX;
      EXPECT_TRUE(vertical || g.startY == g.endY);
      const auto fixed = static_cast<long long>(vertical ? g.startX : g.startY);
      const auto from = static_cast<long long>(vertical ? g.startY : g.startX);
      const auto to = static_cast<long long>(vertical ? g.endY : g.endX);
      EXPECT_LT(from, to);  // away from the starting point
      for (long long k = from; k < to; ++k) seen.insert(vertical ? Edge{true, fixed, k} : Edge{false, k, fixed});
      // Joined: the unit edges just past both ends are no kept edges.
      for (const long long past : {from - 1, to})
        EXPECT_FALSE(expected.count(vertical ? Edge{true, fixed, past} : Edge{false, past, fixed})) << fixed;
      order.emplace_back(!vertical, vertical ? to : fixed, vertical ? fixed : from, 0);
      return true;
    }));
    EXPECT_EQ(std::set<Edge>(seen.begin(), seen.end()), expected);
    EXPECT_EQ(seen.size(), expected.size());  // none twice
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    std::vector<std::pair<long long, long long>> labelled;
    ASSERT_TRUE(walk.WalkLabels([&](const CellLabel& label) {
      labelled.emplace_back(label.column, label.row);
      const CellLabel whole = layout.Label(label.column - 1, label.row - 1);
      EXPECT_EQ(std::pair(label.x, label.y), std::pair(whole.x, whole.y));
      return true;
    }));
    EXPECT_EQ(labelled, cells);  // row by row

    ClippedWalk::Counts counts;
    ASSERT_TRUE(walk.Count(counts));
    EXPECT_EQ(counts.lines, order.size());
    EXPECT_EQ(counts.cells, cells.size());
  }
}

// The 80 bits of each value; the padding after them is anything.
bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }
bool SameBits(const GridLine& a, const GridLine& b) {
  return SameBits(a.startX, b.startX) && SameBits(a.startY, b.startY) && SameBits(a.endX, b.endX) &&
         SameBits(a.endY, b.endY);
}

TEST(ClippedWalk, AllKeptIsTheWholeWalkBitForBit) {
  CellBlock block;
  block.startX = 1234.5L;
  block.startY = -0.0L;
  block.widthTotal = 7 * 0.3L;
  block.heightTotal = 4 * -0.7L;
  block.widthCell = 0.3L;
  block.heightCell = -0.7L;
  block.columnCount = 7;
  block.rowCount = 4;
  for (const Turn turn : {Turn::Degrees(17.3L), Turn::WholeDegrees(0), Turn::Vector(3, -4)}) {
    block.turn = turn;
    const BlockLayout layout(block);
    SetFilter filter(std::vector<std::vector<bool>>(4, std::vector<bool>(7, true)));
    ClippedWalk walk(layout, filter);
    std::vector<GridLine> whole, clipped;
    layout.WalkGridLines([&](const GridLine& g) { return whole.push_back(g), true; });
    walk.WalkLines([&](const GridLine& g) { return clipped.push_back(g), true; });
    ASSERT_EQ(clipped.size(), whole.size());
    for (std::size_t k = 0; k < whole.size(); ++k) EXPECT_TRUE(SameBits(clipped[k], whole[k])) << k;
    std::vector<CellLabel> wholeLabels, clippedLabels;
    layout.WalkCellLabels([&](const CellLabel& l) { return wholeLabels.push_back(l), true; });
    walk.WalkLabels([&](const CellLabel& l) { return clippedLabels.push_back(l), true; });
    ASSERT_EQ(clippedLabels.size(), wholeLabels.size());
    for (std::size_t k = 0; k < wholeLabels.size(); ++k)
      EXPECT_TRUE(clippedLabels[k].column == wholeLabels[k].column && clippedLabels[k].row == wholeLabels[k].row &&
                  SameBits(clippedLabels[k].x, wholeLabels[k].x) && SameBits(clippedLabels[k].y, wholeLabels[k].y))
          << k;
  }
}

TEST(ClippedWalk, RowsWithoutCellsAreSkippedAndAStopIsHeard) {
  std::vector<std::vector<bool>> kept(5000, std::vector<bool>(3));
  kept[2][1] = kept[4000][0] = kept[4000][2] = true;
  const BlockLayout layout(UnitBlock(3, 5000));
  SetFilter filter(kept);
  ClippedWalk walk(layout, filter);
  int lines = 0;
  ASSERT_TRUE(walk.WalkLines([&](const GridLine&) { return ++lines, true; }));
  EXPECT_EQ(lines, 3 * 4);
  EXPECT_LT(filter.rowsAsked, 30);

  // Asked between rows, also where rows hand nothing over.
  struct NothingKept : CellFilter {
    std::int64_t NextRow(std::int64_t row0) override { return row0; }
    void KeptColumns(std::int64_t, std::vector<ColumnRange>& out) override { out.clear(); }
  } nothing;
  ClippedWalk stopped(layout, nothing);
  int asked = 0;
  stopped.SetStillWanted([&] { return ++asked < 2; });
  EXPECT_FALSE(stopped.WalkLabels([](const CellLabel&) { return true; }));
  EXPECT_EQ(asked, 2);
}

// Chunks dealt out to copies as a two-thread writer deals them (each copy
// skips the others' chunks) give the walk's labels, in its order; a
// filter without Clone() is not walked so.
TEST(ClippedWalk, KeptLabelsByIndexAreTheWalksLabels) {
  std::mt19937 random(11);
  using Labels = std::vector<std::tuple<long long, long long, long double, long double>>;
  const auto add = [](Labels& to, const CellLabel& l) { to.emplace_back(l.column, l.row, l.x, l.y); };
  for (int round = 0; round < 40; ++round) {
    const int columns = 1 + round % 9, rows = 1 + round / 3 % 8;
    std::vector<std::vector<bool>> kept(rows, std::vector<bool>(columns));
    for (auto& row : kept)
      for (auto&& k : row) k = random() % 3 != 0;
    const BlockLayout layout(BlockSpec{3, -2, columns * 4, rows * 3, 4, 3, 25});
    SetFilter filter(kept);
    Labels walked;
    ClippedWalk(layout, filter).WalkLabels([&](const CellLabel& l) {
      add(walked, l);
      return true;
    });
    const auto write = [&add](Labels& to, const CellLabel& l) { add(to, l); };
    const KeptLabels<decltype(write)> dealer(layout, filter, write);
    ASSERT_TRUE(dealer.usable());
    std::vector<KeptLabels<decltype(write)>> copies(2 + round % 2, dealer);
    const std::uint64_t chunk = 1 + round % 5;
    Labels dealt;
    for (std::uint64_t first = 0, k = 0; first < walked.size() + chunk; first += chunk, ++k)
      copies[(k * 7 + k / 3) % copies.size()](dealt, first, std::min<std::uint64_t>(first + chunk, walked.size()));
    EXPECT_EQ(dealt, walked) << round;
  }
  struct NoClone : CellFilter {
    std::int64_t NextRow(std::int64_t row0) override { return row0; }
    void KeptColumns(std::int64_t, std::vector<ColumnRange>& out) override { out.clear(); }
  } noClone;
  const BlockLayout layout(UnitBlock(2, 2));
  EXPECT_FALSE(KeptLabels(layout, noClone, [](Labels&, const CellLabel&) {}).usable());
}

}  // namespace
}  // namespace tavimo
