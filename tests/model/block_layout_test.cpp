#include "model/block_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "model/trig_table.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

std::vector<GridLine> Lines(const BlockSpec& spec) {
  std::vector<GridLine> lines;
  BlockLayout(spec).WalkGridLines([&](const GridLine& l) {
    lines.push_back(l);
    return true;
  });
  return lines;
}

std::vector<CellLabel> Labels(const BlockSpec& spec) {
  std::vector<CellLabel> labels;
  BlockLayout(spec).WalkCellLabels([&](const CellLabel& l) {
    labels.push_back(l);
    return true;
  });
  return labels;
}

void ExpectLine(const GridLine& l, long double x1, long double y1, long double x2, long double y2) {
  EXPECT_EQ(l.startX, x1);
  EXPECT_EQ(l.startY, y1);
  EXPECT_EQ(l.endX, x2);
  EXPECT_EQ(l.endY, y2);
}

TEST(BlockLayout, ColumnsThenRowsThenLabelsRowByRow) {
  const BlockSpec spec{0, 0, 20, 10, 10, 5, 0};
  const auto lines = Lines(spec);
  ASSERT_EQ(lines.size(), 6u);
  ExpectLine(lines[0], 0, 0, 0, 10);
  ExpectLine(lines[1], 10, 0, 10, 10);
  ExpectLine(lines[2], 20, 0, 20, 10);
  ExpectLine(lines[3], 0, 0, 20, 0);
  ExpectLine(lines[4], 0, 5, 20, 5);
  ExpectLine(lines[5], 0, 10, 20, 10);

  const auto labels = Labels(spec);
  ASSERT_EQ(labels.size(), 4u);
  const long double expected[4][4] = {{1, 1, 0.1L, 0.1L}, {2, 1, 10.1L, 0.1L}, {1, 2, 0.1L, 5.1L}, {2, 2, 10.1L, 5.1L}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(labels[k].column, expected[k][0]);
    EXPECT_EQ(labels[k].row, expected[k][1]);
    // The second move runs at angle -90: X lies below by less than 1e-14.
    EXPECT_LE(labels[k].x, expected[k][2]);
    EXPECT_GT(labels[k].x, expected[k][2] - 1e-14L);
    EXPECT_NEAR(static_cast<double>(labels[k].y), static_cast<double>(expected[k][3]), 1e-14);
  }
  EXPECT_EQ(NumberString(labels[0].x), " .1");
  EXPECT_EQ(NumberString(labels[2].x), " .099999999999998");
  EXPECT_EQ(NumberString(labels[2].y), " 5.1");
}

TEST(BlockLayout, QuarterTurn) {
  const BlockSpec spec{0, 0, 20, 10, 10, 5, 90};
  const auto lines = Lines(spec);
  ASSERT_EQ(lines.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(static_cast<double>(lines[i].startX), 0, 1e-13);
    EXPECT_NEAR(static_cast<double>(lines[i].startY), -10.0 * i, 1e-13);
    EXPECT_NEAR(static_cast<double>(lines[i].endX), 10, 1e-13);
    EXPECT_NEAR(static_cast<double>(lines[i].endY), -10.0 * i, 1e-13);
  }
  const auto labels = Labels(spec);
  ASSERT_EQ(labels.size(), 4u);
  for (const CellLabel& l : labels) {
    EXPECT_NEAR(static_cast<double>(l.x), 0.1 + 5.0 * (l.row - 1), 1e-13);
    EXPECT_NEAR(static_cast<double>(l.y), -0.1 - 10.0 * (l.column - 1), 1e-13);
  }
}

TEST(BlockLayout, PointsAreComputedAfreshNotAccumulated) {
  const BlockSpec spec{0.1L, 0.2L, 300, 300, 3, 3, 30};
  const auto lines = Lines(spec);
  ASSERT_EQ(lines.size(), 202u);
  // Column line 77 starts at the move of 3 * 77 from the starting point.
  const TrigEntry& trig = kTrigTable[30 - kTrigFirstAngle];
  EXPECT_EQ(lines[77].startX, 0.1L + trig.cosine * 231);
  EXPECT_EQ(lines[77].startY, 0.2L - trig.sine * 231);
}

TEST(BlockLayout, CountsAndSingleCell) {
  const BlockSpec single{5, 5, 7, 3, 7, 3, 45};
  EXPECT_EQ(Lines(single).size(), 4u);
  const auto labels = Labels(single);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].column, 1);
  EXPECT_EQ(labels[0].row, 1);

  const BlockLayout layout(BlockSpec{0, 0, 50, 30, 5, 3, 0});
  EXPECT_EQ(layout.columnCount(), 10);
  EXPECT_EQ(layout.rowCount(), 10);
  EXPECT_EQ(layout.lineCount(), 22u);
  EXPECT_EQ(layout.labelCount(), 100u);
}

TEST(BlockLayout, ZeroSizes) {
  // Total width 0: one column line at the starting point, rows of length 0, no labels.
  const BlockSpec noWidth{1, 2, 0, 10, 5, 5, 0};
  auto lines = Lines(noWidth);
  ASSERT_EQ(lines.size(), 1u + 3u);
  ExpectLine(lines[0], 1, 2, 1, 12);
  for (int j = 1; j < 4; ++j) {
    EXPECT_EQ(lines[j].startX, lines[j].endX);
    EXPECT_EQ(lines[j].startY, lines[j].endY);
  }
  EXPECT_TRUE(Labels(noWidth).empty());

  // Cell width 0: no column lines, no labels, the row lines still come.
  const BlockSpec noCellWidth{0, 0, 20, 10, 0, 5, 0};
  lines = Lines(noCellWidth);
  ASSERT_EQ(lines.size(), 3u);
  ExpectLine(lines[0], 0, 0, 20, 0);
  EXPECT_TRUE(Labels(noCellWidth).empty());
  EXPECT_EQ(BlockLayout(noCellWidth).labelCount(), 0u);

  const BlockSpec noCellHeight{0, 0, 20, 10, 10, 0, 0};
  EXPECT_EQ(Lines(noCellHeight).size(), 3u);
  EXPECT_TRUE(Labels(noCellHeight).empty());
}

TEST(BlockLayout, NegativeSizes) {
  // Negative cell, positive total: a negative count, no lines of that family.
  const BlockSpec mixed{0, 0, 20, 10, -10, 5, 0};
  EXPECT_EQ(Lines(mixed).size(), 3u);
  EXPECT_TRUE(Labels(mixed).empty());

  // Both negative: a positive count, lines on the negative side.
  const BlockSpec negative{0, 0, -20, 10, -10, 5, 0};
  const auto lines = Lines(negative);
  ASSERT_EQ(lines.size(), 3u + 3u);
  ExpectLine(lines[1], -10, 0, -10, 10);
  ExpectLine(lines[2], -20, 0, -20, 10);
  ExpectLine(lines[3], 0, 0, -20, 0);
  EXPECT_EQ(Labels(negative).size(), 4u);
}

TEST(BlockLayout, HugeCountsNeitherOverflowNorWrap) {
  const BlockLayout layout(BlockSpec{0, 0, -2147483647 - 1, 1, -1, 1, 0});
  EXPECT_EQ(layout.columnCount(), 2147483648LL);
  EXPECT_EQ(layout.lineCount(), 2147483649ULL + 2ULL);
  const GridLine last = layout.ColumnLine(layout.columnCount());
  EXPECT_EQ(last.startX, -2147483648.0L);
  // A walk can be stopped early.
  std::uint64_t seen = 0;
  EXPECT_FALSE(layout.WalkGridLines([&](const GridLine&) { return ++seen < 1000; }));
  EXPECT_EQ(seen, 1000u);
}

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

TEST(BlockLayout, LabelsAreTheTwoMovesBitForBit) {
  // The walk works each column's and each row's move out once; every label
  // must still be the two moves made one after the other, at every kind of
  // angle, with negative cells, and past the columns it keeps.
  for (std::int32_t angle : {0, 1, 30, 89, 90, 270, 333, 360}) {
    const BlockSpec spec{12.5L, -7.25L, 36, -30, 4, -3, angle};
    const long double m = -3.0L / 50;  // the smaller cell size over 50
    for (const CellLabel& l : Labels(spec)) {
      const long double along = m + 4.0L * (l.column - 1), across = m + -3.0L * (l.row - 1);
      const long double ax = RotatePointX(12.5L, -7.25L, along, angle, Axis::kHor);
      const long double ay = RotatePointY(12.5L, -7.25L, along, angle, Axis::kHor);
      EXPECT_TRUE(SameBits(l.x, RotatePointX(ax, ay, across, angle - 90, Axis::kHor))) << angle;
      EXPECT_TRUE(SameBits(l.y, RotatePointY(ax, ay, across, angle - 90, Axis::kHor))) << angle;
    }
  }
  const BlockLayout wide(BlockSpec{-3, 4, LabelWalk::kCachedColumns + 40, 3, 1, 1, 17});
  LabelWalk walk(wide);
  for (std::int64_t r : {2, 0, 1}) {
    for (std::int64_t c = wide.columnCount() - 1; c >= LabelWalk::kCachedColumns - 40; --c) {
      const CellLabel got = walk.At(c, r), expected = wide.Label(c, r);
      ASSERT_TRUE(SameBits(got.x, expected.x) && SameBits(got.y, expected.y) && got.column == c + 1 &&
                  got.row == r + 1);
    }
  }
}

TEST(BlockLayout, CounterClockwiseFullTurnIsNearlyAngleZero) {
  const auto turned = Lines(BlockSpec{0, 0, 20, 10, 10, 5, 360});
  const auto straight = Lines(BlockSpec{0, 0, 20, 10, 10, 5, 0});
  ASSERT_EQ(turned.size(), straight.size());
  EXPECT_NE(turned[1].startY, 0);
  for (std::size_t k = 0; k < turned.size(); ++k) {
    EXPECT_NEAR(static_cast<double>(turned[k].startY), static_cast<double>(straight[k].startY), 1e-13);
    EXPECT_NEAR(static_cast<double>(turned[k].endX), static_cast<double>(straight[k].endX), 1e-13);
  }
}

}  // namespace
}  // namespace tavimo
