// The CHT file and its RWS companion: exact lines, digits and counts.

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "export/cht_writer.h"
#include "export/save_block.h"
#include "number/text_to_number.h"
#include "model/block_layout.h"
#include "tests/support/test_support.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

using testing::CrLfLines;
using testing::JoinCrLf;
using testing::Block;
using testing::ReadFile;
using testing::TempDir;

struct Pair {
  std::string cht, rws;
};

Pair SaveCht(const BlockSpec& spec) {
  TempDir dir;
  EXPECT_EQ(SaveBlockTo(dir / "block.cht", spec).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(testing::Names(dir.path()), (std::vector<std::string>{"block.cht", "block.rws"}));
  return {ReadFile(dir / "block.cht"), ReadFile(dir / "block.rws")};
}

const std::vector<std::string> kClosingLines = {" 0 ", "ENDSEC", " 0 ", "EOF"};

std::vector<std::string> Record(std::string start, std::string end) { return {"0      0", start, end}; }

TEST(ChtFile, NineteenLineExampleIsExact) {
  const Pair files = SaveCht(Block(0, 0, 20, 10, 10, 5, 0));
  std::vector<std::string> cht = {"7 0"};
  for (const auto& record :
       {Record(" 0  0", " 0  10"), Record(" 10  0", " 10  10"), Record(" 20  0", " 20  10"),
        Record(" 0  0", " 20  0"), Record(" 0  5", " 20  5"), Record(" 0  10", " 20  10")})
    cht.insert(cht.end(), record.begin(), record.end());
  ASSERT_EQ(cht.size(), 19u);
  EXPECT_EQ(files.cht, JoinCrLf(cht));

  // The third label's X lies just below .1: its second move goes through
  // cos of -90 degrees.
  std::vector<std::string> rws = {" .1  .1  1-1", " 10.1  .1  2-1", " .099999999999998  5.1  1-2",
                                  " 10.1  5.1  2-2"};
  rws.insert(rws.end(), kClosingLines.begin(), kClosingLines.end());
  EXPECT_EQ(files.rws, JoinCrLf(rws));
}

TEST(ChtFile, DefaultBlockIsExact) {
  const Pair files = SaveCht(Block(10, 10, 50, 50, 5, 5, 0));
  std::vector<std::string> cht = {"7 0"};
  for (int i = 0; i <= 10; ++i) {
    const std::string x = " " + std::to_string(10 + 5 * i);
    cht.insert(cht.end(), {"0      0", x + "  10", x + "  60"});
  }
  for (int j = 0; j <= 10; ++j) {
    const std::string y = std::to_string(10 + 5 * j);
    cht.insert(cht.end(), {"0      0", " 10  " + y, " 60  " + y});
  }
  ASSERT_EQ(cht.size(), 67u);
  EXPECT_EQ(files.cht, JoinCrLf(cht));

  std::vector<std::string> rws;
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 10; ++c)
      rws.push_back(" " + std::to_string(10 + 5 * c) + ".1  " + std::to_string(10 + 5 * r) + ".1  " +
                    std::to_string(c + 1) + "-" + std::to_string(r + 1));
  rws.insert(rws.end(), kClosingLines.begin(), kClosingLines.end());
  ASSERT_EQ(rws.size(), 104u);
  EXPECT_EQ(files.rws, JoinCrLf(rws));
}

TEST(ChtFile, OneCell) {
  const Pair files = SaveCht(Block(1, 1, 4, 4, 4, 4, 0));
  EXPECT_EQ(CrLfLines(files.cht).size(), 13u);
  const auto rws = CrLfLines(files.rws);
  ASSERT_EQ(rws.size(), 5u);
  EXPECT_EQ(rws[0], " 1.08  1.08  1-1");
}

TEST(ChtFile, NegativeCoordinatesHaveNoBlankInFront) {
  const auto cht = CrLfLines(SaveCht(Block(-5, 0, 10, 10, 10, 10, 0)).cht);
  ASSERT_GT(cht.size(), 3u);
  EXPECT_EQ(cht[2], "-5  0");
  EXPECT_EQ(cht[3], "-5  10");
  const auto other = CrLfLines(SaveCht(Block(-5, -3.5L, 10, 10, 10, 10, 0)).cht);
  EXPECT_EQ(other[2], "-5 -3.5");
}

TEST(ChtFile, ZeroAndNegativeSizes) {
  {
    SCOPED_TRACE("cell width 0: row lines only, no cells");
    const Pair files = SaveCht(Block(0, 0, 20, 10, 0, 5, 0));
    EXPECT_EQ(CrLfLines(files.cht).size(), 1u + 3 * 3);
    EXPECT_EQ(files.rws, JoinCrLf(kClosingLines));
  }
  {
    SCOPED_TRACE("total width 0: one column line, row lines of length 0");
    const Pair files = SaveCht(Block(0, 0, 0, 10, 10, 5, 0));
    const auto cht = CrLfLines(files.cht);
    ASSERT_EQ(cht.size(), 1u + 3 * (1 + 3));
    EXPECT_EQ(cht[2], " 0  0");
    EXPECT_EQ(cht[3], " 0  10");
    for (std::size_t record = 1; record < 4; ++record)
      EXPECT_EQ(cht[1 + 3 * record + 1], cht[1 + 3 * record + 2]);
    EXPECT_EQ(files.rws, JoinCrLf(kClosingLines));
  }
  {
    SCOPED_TRACE("negative cell width with a positive total: no columns");
    const Pair files = SaveCht(Block(0, 0, 20, 10, -10, 5, 0));
    EXPECT_EQ(CrLfLines(files.cht).size(), 1u + 3 * 3);
    EXPECT_EQ(files.rws, JoinCrLf(kClosingLines));
  }
  {
    SCOPED_TRACE("negative cell and total: lines on the negative side");
    const Pair files = SaveCht(Block(0, 0, -20, 10, -10, 10, 0));
    const auto cht = CrLfLines(files.cht);
    ASSERT_EQ(cht.size(), 1u + 3 * (3 + 2));
    EXPECT_EQ(cht[5], "-10  0");
    EXPECT_EQ(cht[8], "-20  0");
    const auto rws = CrLfLines(files.rws);
    ASSERT_EQ(rws.size(), 2u + 4);
    EXPECT_EQ(rws[1].substr(rws[1].size() - 5), "  2-1");
  }
}

// The pair by the rules, from the layout's walks and NumberString.
Pair ByTheRules(const BlockSpec& spec) {
  const BlockLayout layout(spec);
  Pair expected;
  expected.cht = "7 0\r\n";
  layout.WalkGridLines([&](const GridLine& line) {
    expected.cht += "0      0\r\n" + NumberString(line.startX) + " " + NumberString(line.startY) + "\r\n" +
                    NumberString(line.endX) + " " + NumberString(line.endY) + "\r\n";
    return true;
  });
  layout.WalkCellLabels([&](const CellLabel& label) {
    expected.rws += NumberString(label.x) + " " + NumberString(label.y) + " " +
                    NumberString(static_cast<Extended>(label.column)) + "-" +
                    TrimLeadingBlanks(NumberString(static_cast<Extended>(label.row))) + "\r\n";
    return true;
  });
  expected.rws += JoinCrLf(kClosingLines);
  return expected;
}

TEST(ChtFile, LargeBlocksFollowTheRulesToTheByte) {
  // Large enough for the save to share the work between two threads.
  for (const BlockSpec& spec : {Block(0, 0, 300, 200, 1, 1, 30), Block(-99.125L, TextToNumber("3e-8"), 70, 9000, 7, 1, 271),
                                Block(10, 10, 30000, 40, 1, 0, 12)}) {
    SCOPED_TRACE(::testing::Message() << spec.widthTotal << "x" << spec.heightTotal << " at " << spec.angle);
    const Pair expected = ByTheRules(spec);
    const Pair saved = SaveCht(spec);
    EXPECT_TRUE(saved.cht == expected.cht);
    EXPECT_TRUE(saved.rws == expected.rws);
    EXPECT_EQ(saved.rws.size(), expected.rws.size());
  }
}

}  // namespace
}  // namespace tavimo
