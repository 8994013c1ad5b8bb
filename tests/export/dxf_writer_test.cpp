// The DXF file of a save: exact lines, digits and counts.

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/dxf_writer.h"
#include "export/save_block.h"
#include "model/block_layout.h"
#include "model/exact_trig.h"
#include "tests/support/test_support.h"
#include "number/number_text.h"
#include "number/text_to_number.h"

namespace tavimo {
namespace {

using testing::CrLfLines;
using testing::JoinCrLf;
using testing::Block;
using testing::ReadFile;
using testing::TempDir;

// Saves `spec` as DXF and returns the file's bytes.
std::string SaveDxf(const BlockSpec& spec) {
  TempDir dir;
  const std::string path = dir / "block.dxf";
  EXPECT_EQ(SaveBlockTo(path, spec).kind, SaveOutcome::Kind::kSaved);
  return ReadFile(path);
}

std::vector<std::string> Line(std::string x1, std::string y1, std::string x2, std::string y2) {
  return {" 0 ", "LINE", " 8 ", "Cell_block", " 62 ", " 7 ", " 10 ", x1, " 20 ", y1, " 30 ", "0",
          " 11 ", x2, " 21 ", y2, " 31 ", "0"};
}

std::vector<std::string> Text(std::string x, std::string y, std::string text, std::string height,
                              std::string rotation) {
  return {" 0 ", "TEXT", " 8 ", "Cell_Numbers", " 62 ", " 7 ", " 10 ", x, " 20 ", y, " 30 ", "0",
          " 1 ", text, " 40 ", height, " 50 ", rotation, " 7 ", "STANDARD"};
}

TEST(DxfFile, WorkedExampleIsExact) {
  std::vector<std::string> expected = {" 0 ", "SECTION", " 2 ", "ENTITIES"};
  for (const auto& entity : {Line(" 0", " 0", " 0", " 10"), Line(" 10", " 0", " 10", " 10"),
                             Line(" 20", " 0", " 20", " 10"), Line(" 0", " 0", " 20", " 0"),
                             Line(" 0", " 10", " 20", " 10"), Text(" .2", " .2", "1-1", " 1 ", " 360 "),
                             Text(" 10.2", " .2", "2-1", " 1 ", " 360 ")})
    expected.insert(expected.end(), entity.begin(), entity.end());
  for (const char* line : {" 0 ", "ENDSEC", " 0 ", "EOF"}) expected.push_back(line);
  ASSERT_EQ(expected.size(), 138u);

  const std::string bytes = SaveDxf(Block(0, 0, 20, 10, 10, 10, 0));
  EXPECT_EQ(bytes, JoinCrLf(expected));
}

TEST(DxfFile, ThirtyDegreesKeepsEveryDigit) {
  const auto lines = CrLfLines(SaveDxf(Block(0, 0, 20, 10, 10, 10, 30)));
  // The second LINE entity starts at line 22; its first point follows " 10 " and " 20 ".
  ASSERT_GT(lines.size(), 32u);
  EXPECT_EQ(lines[22], " 0 ");
  EXPECT_EQ(lines[28], " 10 ");
  EXPECT_EQ(lines[29], " 8.66025403784438");
  EXPECT_EQ(lines[31], "-5");
}

TEST(DxfFile, CounterClockwiseZeroGivesTinyExponentY) {
  // Angle 360 goes through sin and cos: the start of the second column line
  // lies about 1.5e-14 below the axis instead of on it.
  const auto lines = CrLfLines(SaveDxf(Block(0, 0, 20, 10, 10, 10, 360)));
  ASSERT_GT(lines.size(), 32u);
  EXPECT_EQ(lines[29], " 10");
  EXPECT_TRUE(std::regex_match(lines[31], std::regex(R"(-1\.[0-9]{1,14}E-14)"))) << lines[31];
}

TEST(DxfFile, TextRotationAndHeight) {
  struct Case {
    int angle, widthCell, heightCell;
    const char* rotation;
    const char* height;
  };
  for (const Case& c : {Case{30, 10, 10, " 330 ", " 1 "}, Case{330, 5, 10, " 30 ", " .5 "},
                        Case{0, 25, 5, " 360 ", " 2.5 "}, Case{360, 7, 7, " 0 ", " .7 "},
                        Case{90, 3, 9, " 270 ", " .3 "}}) {
    SCOPED_TRACE(c.angle);
    const auto lines = CrLfLines(SaveDxf(Block(1, 2, c.widthCell, c.heightCell, c.widthCell, c.heightCell, c.angle)));
    // One cell: header, four LINE entities, then the TEXT entity.
    const std::size_t text = 4 + 4 * 18;
    ASSERT_EQ(lines.size(), text + 20 + 4);
    EXPECT_EQ(lines[text + 1], "TEXT");
    EXPECT_EQ(lines[text + 13], "1-1");
    EXPECT_EQ(lines[text + 15], c.height);
    EXPECT_EQ(lines[text + 17], c.rotation);
  }
}

// A decimal angle writes 360 - angle; a baseline its own direction, 0 up
// to 360; a decimal cell width its tenth.
TEST(DxfFile, TextRotationOfAnyTurn) {
  CellBlock block(Block(0, 0, 1, 1, 1, 1, 0));
  const std::pair<Turn, float> cases[] = {
      {Turn::Degrees(354.5L), 5.5f},
      {Turn::Degrees(TextToNumber("12.3")), static_cast<float>(360 - TextToNumber("12.3"))},
      {Turn::Vector(1, 1), 45.0f},
      {Turn::Vector(0, -2), 270.0f},
      {Turn::Vector(-1, 0), 180.0f},
      {Turn::Vector(3, 0), 0.0f},
  };
  for (const auto& [turn, rotation] : cases) {
    block.turn = turn;
    EXPECT_EQ(DxfTextRotation(block), rotation) << static_cast<double>(turn.degrees) << " " << static_cast<double>(turn.dx) << " " << static_cast<double>(turn.dy);
  }
  block.widthCell = TextToNumber("67.056");
  EXPECT_EQ(DxfTextHeight(block), static_cast<float>(TextToNumber("67.056") / 10));
}

// GIS programs turn a label clockwise: the TEXT rotation's direction
// turned back, in [0, 360), exact in whole degrees (0 unturned).
TEST(DxfFile, GisLabelAngleRunsAlongTheTextRotation) {
  CellBlock block(Block(0, 0, 1, 1, 1, 1, 0));
  for (const std::int32_t angle : {0, 1, 30, 89, 90, 270, 271, 359, 360}) {
    block.turn = Turn::WholeDegrees(angle);
    EXPECT_EQ(GisLabelAngle(block), angle % 360) << angle;
  }
  const std::pair<Turn, double> cases[] = {
      {Turn::Degrees(354.5L), 354.5},
      {Turn::Degrees(TextToNumber("12.3")), static_cast<double>(TextToNumber("12.3"))},
      {Turn::Degrees(TextToNumber("359.9999999999999999")), 0},  // rounds to 360 as a double
      {Turn::Vector(1, 1), 315},
      {Turn::Vector(0, -2), 90},
      {Turn::Vector(-1, 0), 180},
      {Turn::Vector(3, 0), 0},
      {Turn::Vector(1, -0x1p-40L), 0},  // DirectionDegrees rounds to 360
      {Turn::Vector(1, 0x1p-40L), static_cast<double>(360 - static_cast<Extended>(DirectionDegrees(1, 0x1p-40L)))},
  };
  for (const auto& [turn, angle] : cases) {
    block.turn = turn;
    const double gis = GisLabelAngle(block);
    EXPECT_EQ(gis, angle) << static_cast<double>(turn.degrees) << " " << static_cast<double>(turn.dx) << " " << static_cast<double>(turn.dy);
    EXPECT_TRUE(gis >= 0 && gis < 360) << gis;
    EXPECT_NEAR(std::remainder(gis + DxfTextRotation(block), 360.0), 0, 1e-4) << gis;
  }
}

TEST(DxfFile, LineCountsFollowTheLayout) {
  struct Case {
    int wt, ht, wc, hc;
  };
  for (const Case& c : {Case{50, 50, 5, 5}, Case{5, 5, 5, 5}, Case{0, 10, 5, 5}, Case{10, 0, 5, 5},
                        Case{10, 10, 0, 5}, Case{10, 10, 5, 0}, Case{0, 0, 0, 0}, Case{10, 10, -5, 5},
                        Case{-10, 10, -5, 5}, Case{-10, -15, -5, -5}, Case{30, 7, 3, 7}}) {
    SCOPED_TRACE(::testing::Message() << c.wt << "x" << c.ht << " cells " << c.wc << "x" << c.hc);
    const long long columns = c.wc == 0 ? -1 : c.wt / c.wc;
    const long long rows = c.hc == 0 ? -1 : c.ht / c.hc;
    const long long gridLines = (columns >= 0 ? columns + 1 : 0) + (rows >= 0 ? rows + 1 : 0);
    const long long labels = columns > 0 && rows > 0 ? columns * rows : 0;

    const auto lines = CrLfLines(SaveDxf(Block(3, -4, c.wt, c.ht, c.wc, c.hc, 17)));
    ASSERT_EQ(static_cast<long long>(lines.size()), 4 + 18 * gridLines + 20 * labels + 4);
    EXPECT_EQ(lines[0], " 0 ");
    EXPECT_EQ(lines[3], "ENTITIES");
    EXPECT_EQ(lines[lines.size() - 2], " 0 ");
    EXPECT_EQ(lines.back(), "EOF");
    long long lineEntities = 0, textEntities = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (lines[i - 1] != " 0 ") continue;
      lineEntities += lines[i] == "LINE";
      textEntities += lines[i] == "TEXT";
    }
    EXPECT_EQ(lineEntities, gridLines);
    EXPECT_EQ(textEntities, labels);
  }
}

TEST(DxfFile, NumbersKeepTheirSignPosition) {
  // Start (-2.5, 0.25), cells 10 by 10, one cell: the first column line.
  const auto lines = CrLfLines(SaveDxf(Block(-2.5L, 0.25L, 10, 10, 10, 10, 0)));
  ASSERT_GT(lines.size(), 21u);
  EXPECT_EQ(lines[11], "-2.5");
  EXPECT_EQ(lines[13], " .25");
  EXPECT_EQ(lines[15], "0");  // Z: no blank at all
  EXPECT_EQ(lines[19], " 10.25");
}

TEST(DxfFile, CellNumbersCarryNoBlanks) {
  const auto lines = CrLfLines(SaveDxf(Block(0, 0, 100, 30, 10, 10, 0)));
  std::vector<std::string> texts;
  for (std::size_t i = 2; i < lines.size(); ++i)  // group 1 follows the Z value "0"
    if (lines[i - 1] == " 1 " && lines[i - 2] == "0") texts.push_back(lines[i]);
  ASSERT_EQ(texts.size(), 30u);
  EXPECT_EQ(texts.front(), "1-1");
  EXPECT_EQ(texts[9], "10-1");
  EXPECT_EQ(texts[10], "1-2");
  EXPECT_EQ(texts.back(), "10-3");
}

// The drawing as the record writers make it from the layout's walks, every
// value through NumberString: what a save must write, byte for byte.
std::string ByTheRecordWriters(const BlockSpec& spec) {
  testing::StringSink file;
  const BlockLayout layout(spec);
  WriteDxfHeader(file);
  layout.WalkGridLines([&](const GridLine& line) {
    WriteDxfLine(file, "Cell_block", 7, NumberString(line.startX), NumberString(line.startY), "0",
                 NumberString(line.endX), NumberString(line.endY), "0");
    return true;
  });
  const float rotation = static_cast<float>(360 - spec.angle);
  const float height = static_cast<float>(static_cast<Extended>(spec.widthCell) / 10);
  layout.WalkCellLabels([&](const CellLabel& label) {
    const std::string text = TrimLeadingBlanks(NumberString(static_cast<Extended>(label.column))) + "-" +
                             TrimLeadingBlanks(NumberString(static_cast<Extended>(label.row)));
    WriteDxfText(file, "Cell_Numbers", 7, NumberString(label.x), NumberString(label.y), "0", text, rotation,
                 height);
    return true;
  });
  WriteDxfTrailer(file);
  return file.Take();
}

// Keeps the calling thread on one processor while it lives, so that a save
// does without its helper thread.
class OnOneProcessor {
 public:
  OnOneProcessor() {
    if (sched_getaffinity(0, sizeof saved_, &saved_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    active_ = sched_setaffinity(0, sizeof one, &one) == 0;
  }
  ~OnOneProcessor() {
    if (active_) sched_setaffinity(0, sizeof saved_, &saved_);
  }
  bool active() const { return active_; }

 private:
  cpu_set_t saved_{};
  bool active_ = false;
};

TEST(DxfFile, LargeBlocksAreExactlyWhatTheRecordWritersMake) {
  // Large enough for the save to share the work between two threads: the
  // pieces must come out whole and in order. Negative and tiny values,
  // exponent forms, a family of lines left out, a few columns of many rows.
  for (const BlockSpec& spec : {Block(0, 0, 160, 150, 1, 1, 30), Block(-1234.5L, TextToNumber("1e-9"), 2000, 99, 7, 3, 297),
                                Block(5e14L, -7.25L, 45, 9000, 3, 2, 89), Block(10, 10, 500, 20000, 0, 1, 45),
                                Block(TextToNumber("-0.001"), TextToNumber("0.001"), 4000, 40, 1, 1, 360)}) {
    SCOPED_TRACE(::testing::Message() << spec.widthTotal << "x" << spec.heightTotal << " at " << spec.angle);
    const std::string expected = ByTheRecordWriters(spec);
    const std::string saved = SaveDxf(spec);
    ASSERT_EQ(saved.size(), expected.size());
    EXPECT_TRUE(saved == expected) << "first difference at byte "
                                   << std::mismatch(saved.begin(), saved.end(), expected.begin()).first -
                                          saved.begin();
  }
}

TEST(DxfFile, OneProcessorWritesTheSameBytes) {
  // Without a second processor the save goes on alone, chunk after chunk.
  const BlockSpec spec = Block(-1234.5L, TextToNumber("1e-9"), 2000, 99, 7, 3, 297);
  const std::string expected = ByTheRecordWriters(spec);
  const OnOneProcessor one;
  ASSERT_TRUE(one.active());
  EXPECT_TRUE(SaveDxf(spec) == expected);
}

}  // namespace
}  // namespace tavimo
