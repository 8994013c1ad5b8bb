// Saved DXF files read back by two programs not written here: ezdxf
// (Debian's python3-ezdxf under /usr/bin/python3) and GDAL (ogrinfo and
// ogr2ogr from gdal-bin). Each must find every LINE and TEXT of the block,
// in order, with the right layer and text and with the coordinates that
// the layout computed (within 1e-9, relative).

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "model/block_layout.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::ReadFile;
using testing::TempDir;

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kDumpScript[] = TAVIMO_READERS_DIR "/dump_entities.py";

struct Block {
  const char* name;
  BlockSpec spec;
};

// Angles as CreateCells hands them on: counter-clockwise ones as 360 - angle.
const std::vector<Block> kBlocks = {
    {"clockwise_0", testing::Block(-2.5L, 7.25L, 30, 20, 10, 5, 0)},
    {"clockwise_30", testing::Block(0, 0, 20, 10, 10, 5, 30)},
    {"clockwise_90", testing::Block(100, -40.5L, 40, 30, 20, 10, 90)},
    // Exact zeros come out of the trigonometric path as about 1.5E-14.
    {"counter_clockwise_0", testing::Block(0, 0, 20, 10, 10, 5, 360)},
    {"counter_clockwise_30", testing::Block(12.5L, 3, 30, 20, 10, 10, 330)},
    {"single_cell", testing::Block(5, 5, 7, 3, 7, 3, 45)},
    // One column line; every row line has equal ends; no labels.
    {"zero_width", testing::Block(10, 10, 0, 10, 5, 5, 17)},
    {"far_and_small", testing::Block(123456.789L, -0.000125L, 60, 40, 12, 8, 343)},
};

struct Entity {
  std::string type, layer, colour, text, style;
  std::vector<long double> numbers;  // coordinates, then height and rotation for a TEXT
};

std::vector<Entity> ExpectedEntities(const BlockSpec& spec) {
  std::vector<Entity> entities;
  const BlockLayout layout(spec);
  layout.WalkGridLines([&](const GridLine& g) {
    entities.push_back({"LINE", "Cell_block", "7", "", "", {g.startX, g.startY, 0, g.endX, g.endY, 0}});
    return true;
  });
  const long double height = static_cast<long double>(spec.widthCell) / 10;
  const long double rotation = 360 - spec.angle;
  layout.WalkCellLabels([&](const CellLabel& c) {
    entities.push_back({"TEXT", "Cell_Numbers", "7", std::to_string(c.column) + "-" + std::to_string(c.row),
                        "STANDARD", {c.x, c.y, 0, height, rotation}});
    return true;
  });
  return entities;
}

// A shell word for `text`.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome RunCommand(const std::string& command, const TempDir& io) {
  Outcome outcome;
  const std::string out = io / "stdout", err = io / "stderr";
  const int wait = std::system((command + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
  outcome.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 1000;
  outcome.out = ReadFile(out);
  outcome.err = ReadFile(err);
  return outcome;
}

// The entities of each file from dump_entities.py's output, in file order.
std::vector<std::vector<Entity>> ParseDump(const std::string& dump) {
  std::vector<std::vector<Entity>> files;
  std::istringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields[0] == "FILE") {
      files.emplace_back();
      continue;
    }
    if (files.empty()) {
      ADD_FAILURE() << "entity before the first FILE line: " << line;
      continue;
    }
    Entity entity;
    entity.type = fields[0];
    if (fields.size() > 1) entity.layer = fields[1];
    if (fields.size() > 2) entity.colour = fields[2];
    std::size_t first = 3;
    if (entity.type == "TEXT" && fields.size() == 10) {
      entity.text = fields[3];
      entity.style = fields[9];
      fields.pop_back();
      first = 4;
    }
    for (std::size_t i = first; i < fields.size(); ++i)
      entity.numbers.push_back(fields[i] == "-" ? NAN : std::strtold(fields[i].c_str(), nullptr));
    files.back().push_back(entity);
  }
  return files;
}

// What a reader does not report (GDAL: colour, style) is not compared.
void ExpectSameEntities(const std::vector<Entity>& read, const std::vector<Entity>& expected) {
  ASSERT_EQ(read.size(), expected.size()) << "number of entities";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "entity " << i << " (" << expected[i].type << " " << expected[i].text << ")");
    const Entity& got = read[i];
    const Entity& want = expected[i];
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.layer, want.layer);
    EXPECT_EQ(got.text, want.text);
    if (got.colour != "-") {
      EXPECT_EQ(got.colour, want.colour);
    }
    if (got.style != "-") {
      EXPECT_EQ(got.style, want.style);
    }
    ASSERT_EQ(got.numbers.size(), want.numbers.size());
    for (std::size_t k = 0; k < want.numbers.size(); ++k) {
      const bool height = want.type == "TEXT" && k == 3;
      if (height && std::isnan(got.numbers[k])) continue;
      // The height is a single-precision value, written with 7 digits.
      const long double tolerance = height ? 1e-6L : 1e-9L;
      EXPECT_LE(std::fabs(got.numbers[k] - want.numbers[k]), tolerance * std::fabs(want.numbers[k]))
          << "number " << k << ": read " << static_cast<double>(got.numbers[k]) << ", computed "
          << static_cast<double>(want.numbers[k]);
    }
  }
}

class IndependentReaders : public ::testing::Test {
 protected:
  // Every block saved once, as the save command writes it.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    for (const Block& block : kBlocks) {
      ASSERT_EQ(SaveBlockTo(DxfPath(block), block.spec).kind, SaveOutcome::Kind::kSaved) << block.name;
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  static std::string DxfPath(const Block& block) { return *dir_ / (std::string(block.name) + ".dxf"); }

  static TempDir* dir_;
};

TempDir* IndependentReaders::dir_ = nullptr;

TEST_F(IndependentReaders, EzdxfReadsEveryEntity) {
  std::string command = std::string(kPython) + " " + Quoted(kDumpScript) + " ezdxf";
  for (const Block& block : kBlocks) command += " " + Quoted(DxfPath(block));
  TempDir io;
  const Outcome outcome = RunCommand(command, io);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "") << "ezdxf complained";

  const auto files = ParseDump(outcome.out);
  ASSERT_EQ(files.size(), kBlocks.size());
  for (std::size_t b = 0; b < kBlocks.size(); ++b) {
    SCOPED_TRACE(kBlocks[b].name);
    ExpectSameEntities(files[b], ExpectedEntities(kBlocks[b].spec));
  }
}

TEST_F(IndependentReaders, GdalReadsEveryEntity) {
  TempDir io;
  std::string convert = std::string(kPython) + " " + Quoted(kDumpScript) + " geojson";
  for (const Block& block : kBlocks) {
    SCOPED_TRACE(block.name);
    // ogrinfo exits 0 even on a malformed file: anything it says on
    // standard error is a complaint.
    const Outcome info = RunCommand("ogrinfo -ro -al -q " + Quoted(DxfPath(block)), io);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.err, "") << "ogrinfo complained";
    std::size_t features = 0;
    for (std::size_t at = 0; (at = info.out.find("OGRFeature(", at)) != std::string::npos; ++at) ++features;
    EXPECT_EQ(features, ExpectedEntities(block.spec).size());

    // ogrinfo prints coordinates to 15 places only; GeoJSON carries all 17
    // significant digits of GDAL's doubles.
    const std::string json = io / (std::string(block.name) + ".geojson");
    const Outcome translate = RunCommand("ogr2ogr -f GeoJSON " + Quoted(json) + " " + Quoted(DxfPath(block)) +
                                      " -sql 'SELECT *, OGR_STYLE FROM entities' -lco RFC7946=NO"
                                      " -lco SIGNIFICANT_FIGURES=17",
                                  io);
    EXPECT_EQ(translate.status, 0);
    EXPECT_EQ(translate.err, "") << "ogr2ogr complained";
    convert += " " + Quoted(json);
  }

  const Outcome outcome = RunCommand(convert, io);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const auto files = ParseDump(outcome.out);
  ASSERT_EQ(files.size(), kBlocks.size());
  for (std::size_t b = 0; b < kBlocks.size(); ++b) {
    SCOPED_TRACE(kBlocks[b].name);
    ExpectSameEntities(files[b], ExpectedEntities(kBlocks[b].spec));
  }
}

}  // namespace
}  // namespace tavimo
