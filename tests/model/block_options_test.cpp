#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "model/block_layout.h"
#include "model/read_block.h"
#include "model/rotate_point.h"

namespace tavimo {
namespace {

FieldTexts With(std::initializer_list<std::pair<Field, const char*>> texts, bool clockwise = true) {
  FieldTexts fields = FieldTexts::Initial();
  for (const auto& [field, text] : texts) fields[field] = text;
  fields.clockwise = clockwise;
  fields.counterClockwise = !clockwise;
  return fields;
}

BlockOptions Decimals() {
  BlockOptions options;
  options.decimals = true;
  return options;
}

// Every coordinate of both walks, as bits.
std::vector<long double> PointsOf(const CellBlock& block) {
  std::vector<long double> points;
  const BlockLayout layout(block);
  layout.WalkGridLines([&](const GridLine& g) {
    points.insert(points.end(), {g.startX, g.startY, g.endX, g.endY});
    return true;
  });
  layout.WalkCellLabels([&](const CellLabel& c) {
    points.insert(points.end(), {c.x, c.y});
    return true;
  });
  return points;
}

bool SameBits(const std::vector<long double>& a, const std::vector<long double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], 10) != 0) return false;
  return true;
}

TEST(BlockOptions, WholeInputsMakeTheSameBlockWithDecimalsOn) {
  for (bool clockwise : {true, false}) {
    const FieldTexts fields = With({{Field::kWidthTotal, "52"}, {Field::kAngle, "30"}, {Field::kStartX, "1.25"}},
                                   clockwise);
    const BlockReading whole = ReadBlock(fields);
    const BlockReading decimal = ReadBlock(fields, Decimals());
    ASSERT_TRUE(whole.block && decimal.block);
    EXPECT_EQ(decimal.corrections, whole.corrections);
    EXPECT_EQ(decimal.notices, whole.notices);
    EXPECT_EQ(decimal.block->turn.kind, Turn::Kind::kWholeDegrees);
    EXPECT_TRUE(SameBits(PointsOf(*whole.block), PointsOf(*decimal.block)));
  }
}

TEST(BlockOptions, DecimalsKeepFractionsAndFitOnTheTypedValues) {
  const BlockReading r = ReadBlock(With({{Field::kWidthTotal, ".3"},
                                         {Field::kWidthCell, "0.1"},
                                         {Field::kHeightTotal, "0.7"},
                                         {Field::kHeightCell, ".2"},
                                         {Field::kAngle, "5.5"}},
                                        false),
                                   Decimals());
  ASSERT_TRUE(r.block);
  EXPECT_EQ(r.block->columnCount, 3);  // 0.3 is three cells of 0.1, whatever binary makes of them
  EXPECT_EQ(r.block->rowCount, 4);
  EXPECT_EQ(r.block->widthTotal, 0.3L);
  EXPECT_EQ(r.block->heightTotal, 0.8L);
  ASSERT_EQ(r.notices.size(), 1u);
  EXPECT_EQ(r.notices[0].id, NoticeId::kHeightChanged);
  EXPECT_EQ(r.corrections, (std::vector<Correction>{{Field::kHeightTotal, " .8"}}));
  EXPECT_EQ(r.block->turn.kind, Turn::Kind::kDegrees);
  EXPECT_EQ(r.block->turn.degrees, 354.5L);  // counter-clockwise: 360 - 5.5
  EXPECT_FALSE(r.spec);

  // The range check takes the angle as typed.
  for (const char* angle : {"90.5", "-0.4", "nan"})
    EXPECT_EQ(ReadBlock(With({{Field::kAngle, angle}}), Decimals()).refusal->kind, RefusalKind::kWrongAngle) << angle;
  EXPECT_TRUE(ReadBlock(With({{Field::kAngle, "90"}}), Decimals()).block);
  EXPECT_EQ(ReadBlock(With({{Field::kWidthCell, "1E309"}}), Decimals()).refusal->field, Field::kWidthCell);
}

TEST(BlockOptions, ABaselineGivesTheStartAndTheDirection) {
  BlockOptions options;
  options.baseline = {"1", "2", "4", "6"};
  // The angle is not read, so even a wrong one does not refuse the block.
  const BlockReading r = ReadBlock(With({{Field::kAngle, "100"}, {Field::kStartX, "abc"}}), options);
  ASSERT_TRUE(r.block);
  EXPECT_EQ(r.block->startX, 1);
  EXPECT_EQ(r.block->startY, 2);
  const Rotation rotation(r.block->turn);
  EXPECT_EQ(rotation.cosine(), 0.6L);
  EXPECT_EQ(rotation.sine(), -0.8L);
  // A label's second move along the angle less 90 is the move up the
  // height axis, to the bit.
  const BlockLayout layout(*r.block);
  const CellLabel label = layout.Label(2, 3);
  long double x, y, lx, ly;
  rotation.Hor(1, 2, 0.1L + 5 * 2, x, y);
  rotation.Ver(x, y, 0.1L + 5 * 3, lx, ly);
  EXPECT_EQ(label.x, lx);
  EXPECT_EQ(label.y, ly);

  options.baseline = {"3", "3", "3", "3"};
  EXPECT_EQ(ReadBlock(FieldTexts::Initial(), options).refusal->kind, RefusalKind::kWrongOption);
  options.baseline = {"0", "0", "1E-3000", "0"};  // its square vanishes: no direction either
  EXPECT_EQ(ReadBlock(FieldTexts::Initial(), options).refusal->kind, RefusalKind::kWrongOption);
}

TEST(BlockOptions, CountsMakeTheTotals) {
  BlockOptions options = Decimals();
  options.columns = "4";
  const BlockReading r = ReadBlock(With({{Field::kWidthCell, "2.5"}, {Field::kWidthTotal, "abc"}}), options);
  ASSERT_TRUE(r.block);
  EXPECT_EQ(r.block->columnCount, 4);
  EXPECT_EQ(r.block->widthTotal, 10);
  EXPECT_EQ(r.block->rowCount, 10);  // the height still comes from its total
  EXPECT_EQ(r.corrections, (std::vector<Correction>{{Field::kWidthTotal, " 10"}}));
  EXPECT_TRUE(r.notices.empty());
  for (const char* rows : {"0", "2.5", "-1", "2147483648"}) {
    options.rows = rows;
    EXPECT_EQ(ReadBlock(FieldTexts::Initial(), options).refusal->kind, RefusalKind::kWrongOption) << rows;
  }
  // Whole numbers keep to 32 bits.
  BlockOptions whole;
  whole.columns = "2147483647";
  EXPECT_EQ(ReadBlock(FieldTexts::Initial(), whole).refusal->kind, RefusalKind::kValueOutOfRange);
}

// Whether the cells of `block` cover the rectangle, in the block's own axes.
bool Covers(const CellBlock& block, long double xmin, long double ymin, long double xmax, long double ymax,
            std::int64_t columns, std::int64_t rows) {
  const Rotation r(block.turn);
  for (const auto& [x, y] : {std::pair{xmin, ymin}, std::pair{xmax, ymin}, std::pair{xmin, ymax}, {xmax, ymax}}) {
    const long double dx = x - block.startX, dy = y - block.startY;
    const long double u = dx * r.cosine() - dy * r.sine();
    const long double v = dx * r.sine() + dy * r.cosine();
    const long double slack = 1E-12L;
    if (u < -slack || v < -slack || u > columns * block.widthCell + slack || v > rows * block.heightCell + slack)
      return false;
  }
  return true;
}

TEST(BlockOptions, AnExtentIsCoveredByTheSmallestBlock) {
  BlockOptions options;
  options.extent = {"0", "0", "10", "7"};
  const BlockReading square = ReadBlock(With({{Field::kWidthCell, "2"}, {Field::kHeightCell, "2"}}), options);
  ASSERT_TRUE(square.block);
  EXPECT_EQ(square.block->startX, 0);
  EXPECT_EQ(square.block->startY, 0);
  EXPECT_EQ(square.block->columnCount, 5);
  EXPECT_EQ(square.block->rowCount, 4);
  EXPECT_EQ(square.block->heightTotal, 8);

  for (const char* angle : {"30", "12.5", "90"}) {
    for (bool clockwise : {true, false}) {
      BlockOptions turned = Decimals();
      turned.extent = {"-3.5", "100", "20", "117.25"};
      const BlockReading r =
          ReadBlock(With({{Field::kWidthCell, "2.5"}, {Field::kHeightCell, "1.5"}, {Field::kAngle, angle}}, clockwise),
                    turned);
      ASSERT_TRUE(r.block) << angle;
      const CellBlock& b = *r.block;
      EXPECT_TRUE(Covers(b, -3.5L, 100, 20, 117.25L, b.columnCount, b.rowCount)) << angle;
      EXPECT_FALSE(Covers(b, -3.5L, 100, 20, 117.25L, b.columnCount - 1, b.rowCount)) << angle;
      EXPECT_FALSE(Covers(b, -3.5L, 100, 20, 117.25L, b.columnCount, b.rowCount - 1)) << angle;
    }
  }

  options.extent = {"0", "0", "-1", "7"};
  EXPECT_EQ(ReadBlock(FieldTexts::Initial(), options).refusal->kind, RefusalKind::kWrongOption);
  options.extent = {"0", "0", "1", "7"};
  EXPECT_EQ(ReadBlock(With({{Field::kHeightCell, "0"}}), options).refusal->field, Field::kHeightCell);
  options.extent = {"0", "0", "1E300", "1"};
  EXPECT_EQ(ReadBlock(FieldTexts::Initial(), options).refusal->kind, RefusalKind::kWrongOption);
}

TEST(BlockOptions, LabelOptionsAreCheckedWithTheBlock) {
  BlockOptions options;
  options.labels = "{col:A}{row:03}";
  options.firstRow = "0";
  options.corner = LabelCorner::kUpperRight;
  options.labelHeight = ".25";
  const BlockReading r = ReadBlock(FieldTexts::Initial(), options);
  ASSERT_TRUE(r.block && r.spec);  // the geometry is the fields' own
  EXPECT_FALSE(r.block->labels.IsColumnRow());
  EXPECT_EQ(r.block->labels.firstRow, 0);
  EXPECT_EQ(r.block->labels.corner, LabelCorner::kUpperRight);
  EXPECT_EQ(r.block->labels.height, 0.25L);

  for (const auto& [labels, first, height] :
       {std::tuple{"{col", "1", "1"}, {"{row:a}", "0", "1"}, {"{col}", "1.5", "1"}, {"{col}", "1", "0"}}) {
    options.labels = labels;
    options.firstRow = first;
    options.labelHeight = height;
    const BlockReading refused = ReadBlock(FieldTexts::Initial(), options);
    EXPECT_FALSE(refused.block || refused.spec) << labels;
    EXPECT_EQ(refused.refusal->kind, RefusalKind::kWrongOption) << labels;
  }
}

}  // namespace
}  // namespace tavimo
