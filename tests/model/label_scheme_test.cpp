#include "model/label_scheme.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tavimo {
namespace {

LabelScheme Scheme(std::string_view text) {
  LabelScheme scheme;
  auto read = LabelTemplate::Read(text);
  EXPECT_TRUE(std::holds_alternative<LabelTemplate>(read)) << text;
  if (auto* labelTemplate = std::get_if<LabelTemplate>(&read)) scheme.labelTemplate = *labelTemplate;
  return scheme;
}

std::string LabelOf(const LabelScheme& scheme, std::int64_t columns, std::int64_t rows, std::int64_t c,
                    std::int64_t r) {
  std::string out;
  CellNumbering(scheme, columns, rows).Append(out, c, r);
  return out;
}

TEST(LabelTemplate, FormatsColumnsRowsAndNumbers) {
  EXPECT_TRUE(LabelScheme().IsColumnRow());
  EXPECT_EQ(LabelOf(LabelScheme(), 5, 5, 2, 3), "3-4");
  const LabelScheme letters = Scheme("{col:A}{row}");
  EXPECT_FALSE(letters.IsColumnRow());
  EXPECT_EQ(LabelOf(letters, 30, 20, 0, 11), "A12");
  EXPECT_EQ(LabelOf(letters, 30, 20, 25, 0), "Z1");
  EXPECT_EQ(LabelOf(letters, 30, 20, 26, 2), "AA3");
  EXPECT_EQ(LabelOf(Scheme("{col:A}"), 800, 1, 701, 0), "ZZ");
  EXPECT_EQ(LabelOf(Scheme("{col:A}"), 800, 1, 702, 0), "AAA");
  EXPECT_EQ(LabelOf(Scheme("{col:03}-{row:03} {row:a}"), 30, 30, 2, 16), "003-017 q");
  EXPECT_EQ(LabelOf(Scheme("{{{n:04}}}"), 10, 10, 9, 9), "{0100}");
  LabelScheme negative = Scheme("{col:03}");
  negative.firstColumn = -7;
  EXPECT_EQ(LabelOf(negative, 10, 1, 0, 0), "-07");

  for (const char* wrong : {"{col", "col}", "{x}", "{col:B}", "{col:3}", "{row:0}", "a\nb", "a\rb"})
    EXPECT_TRUE(std::holds_alternative<std::string>(LabelTemplate::Read(wrong))) << wrong;
  EXPECT_TRUE(std::holds_alternative<std::string>(LabelTemplate::Read(std::string_view("a\0b", 3))));
}

TEST(CellNumbering, CornersOrdersAndFirstNumbers) {
  LabelScheme scheme = Scheme("{col},{row},{n}");
  // 3 columns, 2 rows; cells named from the starting point.
  EXPECT_EQ(LabelOf(scheme, 3, 2, 0, 0), "1,1,1");
  EXPECT_EQ(LabelOf(scheme, 3, 2, 2, 1), "3,2,6");
  scheme.corner = LabelCorner::kUpperRight;
  EXPECT_EQ(LabelOf(scheme, 3, 2, 2, 1), "1,1,1");
  EXPECT_EQ(LabelOf(scheme, 3, 2, 0, 0), "3,2,6");
  scheme.corner = LabelCorner::kLowerRight;
  scheme.order = NumberOrder::kColumns;
  EXPECT_EQ(LabelOf(scheme, 3, 2, 0, 1), "3,2,6");
  EXPECT_EQ(LabelOf(scheme, 3, 2, 1, 0), "2,1,3");
  scheme.corner = LabelCorner::kLowerLeft;
  scheme.order = NumberOrder::kSerpentine;
  scheme.firstColumn = 0;
  scheme.firstRow = 10;
  // Back along the second row: its last column comes right after the first row.
  EXPECT_EQ(LabelOf(scheme, 3, 2, 2, 1), "2,11,4");
  EXPECT_EQ(LabelOf(scheme, 3, 2, 0, 1), "0,11,6");

  // Every order numbers every cell once.
  for (NumberOrder order : {NumberOrder::kRows, NumberOrder::kColumns, NumberOrder::kSerpentine}) {
    scheme.order = order;
    const CellNumbering numbering(scheme, 7, 5);
    std::set<std::int64_t> seen;
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 7; ++c) seen.insert(numbering.Of(c, r).n);
    EXPECT_EQ(seen.size(), 35u);
    EXPECT_EQ(*seen.rbegin(), 35);
  }
}

TEST(CellNumbering, RefusesWhatNoLabelCanSay) {
  LabelScheme letters = Scheme("{row:A}");
  letters.firstRow = 0;
  EXPECT_TRUE(CellNumbering(letters, 3, 3).Check());
  letters.firstRow = 1;
  EXPECT_FALSE(CellNumbering(letters, 3, 3).Check());
  const LabelScheme padded = Scheme("{n:0250}x");
  EXPECT_TRUE(CellNumbering(padded, 3, 3).Check());
  EXPECT_FALSE(CellNumbering(Scheme("{n:0249}x"), 3, 3).Check());
}

}  // namespace
}  // namespace tavimo
