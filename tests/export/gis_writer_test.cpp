// GIS datasets read back by GDAL and, without GDAL, by Python's sqlite3
// (GeoPackage) and json (GeoJSON): the cells must carry the labels of the
// DXF file's TEXT entities of the same block, at the same points, as valid
// polygons on the layout's grid points; failures and cancels leave nothing.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "export/gis_writer.h"
#include "export/save_block.h"
#include "model/block_layout.h"
#include "tests/export/test_support.h"

namespace tavimo {
namespace {

using testing::Names;
using testing::TempDir;
using Kind = GisOutcome::Kind;

struct DxfText {
  std::string text;
  long double x = 0, y = 0;
};

// The TEXT entities of the block's DXF file, as the save command writes it.
std::vector<DxfText> DxfTexts(const BlockSpec& spec, const TempDir& dir) {
  testing::RecordingMessages messages;
  EXPECT_EQ(SaveBlockTo(messages, dir / "block.dxf", spec), SaveResult::kSaved);
  const std::vector<std::string> lines = testing::CrLfLines(testing::ReadFile(dir / "block.dxf"));
  std::remove((dir / "block.dxf").c_str());
  std::vector<DxfText> texts;
  bool inText = false;
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    const std::string& code = lines[i];
    const std::string& value = lines[i + 1];
    if (code == " 0 ") {
      inText = value == "TEXT";
      if (inText) texts.emplace_back();
    } else if (inText && code == " 10 ") {
      texts.back().x = std::strtold(value.c_str(), nullptr);
    } else if (inText && code == " 20 ") {
      texts.back().y = std::strtold(value.c_str(), nullptr);
    } else if (inText && code == " 1 ") {
      texts.back().text = value;
    }
  }
  return texts;
}

struct Case {
  const char* name;
  BlockSpec spec;
  const char* srs;
};

// Angles as CreateCells hands them on: counter-clockwise ones as 360 - angle.
const Case kCases[] = {
    {"clockwise_30", testing::Block(0, 0, 30, 20, 10, 5, 30), "EPSG:25833"},
    // Exact zeros come out of the trigonometric path as about 1.5E-14.
    {"counter_clockwise_0", testing::Block(0, 0, 20, 10, 10, 5, 360), ""},
    // Negative cells mirror the block: the rings must be turned round.
    {"mirrored", testing::Block(-7.5L, 2, -30, -20, -10, -5, 330), "EPSG:4326"},
    {"far_and_small", testing::Block(123456.789L, -0.000125L, 60, 40, 12, 8, 343), "EPSG:25833"},
    {"many_cells", testing::Block(500000, 5800000, 90, 70, 1, 1, 90), ""},
};

const std::pair<GisFormat, const char*> kFormats[] = {
    {GisFormat::kGeoPackage, "gpkg"}, {GisFormat::kGeoJson, "geojson"}, {GisFormat::kShapefile, "shp"}};

struct GdalDataset {
  explicit GdalDataset(const std::string& path)
      : dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY)) {}
  ~GdalDataset() { GDALClose(dataset); }
  GDALDataset* dataset;
};

std::pair<double, double> Point(const BlockLayout& layout, std::int64_t i, std::int64_t j) {
  long double x, y;
  layout.GridPoint(i, j, x, y);
  return {static_cast<double>(x), static_cast<double>(y)};
}

// What GDAL reads: each cell against the DXF's TEXT and the layout's
// corners (exactly, as doubles), its validity and orientation; the area;
// the CRS; a GeoPackage's grid lines.
void ExpectGdalReadsTheBlock(const std::string& path, GisFormat format, const Case& c,
                             const std::vector<DxfText>& texts) {
  GdalDataset open(path);
  ASSERT_NE(open.dataset, nullptr);
  OGRLayer* cells = format == GisFormat::kShapefile ? open.dataset->GetLayer(0)
                                                    : open.dataset->GetLayerByName("cells");
  ASSERT_NE(cells, nullptr);
  ASSERT_EQ(cells->GetFeatureCount(), static_cast<GIntBig>(texts.size()));

  const BlockLayout layout(c.spec);
  const long double scale = std::max(std::abs(c.spec.widthTotal), std::abs(c.spec.heightTotal));
  double area = 0;
  std::size_t k = 0;
  for (auto& feature : *cells) {
    const DxfText& text = texts[k];
    SCOPED_TRACE(text.text);
    const std::int64_t column = feature->GetFieldAsInteger64("column");
    const std::int64_t row = feature->GetFieldAsInteger64("row");
    EXPECT_EQ(feature->GetFieldAsString("label"), text.text);
    EXPECT_EQ(std::to_string(column) + "-" + std::to_string(row), text.text);
    for (const auto& [got, want] : {std::pair{feature->GetFieldAsDouble("label_x"), text.x},
                                    std::pair{feature->GetFieldAsDouble("label_y"), text.y}})
      EXPECT_LE(std::fabs(got - want), 1e-9L * (std::fabs(want) + scale)) << got << " against " << double(want);

    const OGRPolygon* polygon = feature->GetGeometryRef()->toPolygon();
    const OGRLinearRing* ring = polygon->getExteriorRing();
    EXPECT_TRUE(polygon->IsValid());
    EXPECT_EQ(polygon->getNumInteriorRings(), 0);
    ASSERT_EQ(ring->getNumPoints(), 5);
    EXPECT_TRUE(ring->get_IsClosed());
    // GDAL hands the rings back as the format keeps them: a Shapefile's
    // outer rings go clockwise.
    EXPECT_EQ(ring->isClockwise(), format == GisFormat::kShapefile);
    // GDAL's GeoJSON writer shortens 17 digits that run into 000000 or
    // 999999 to as few as 14; the binary formats keep every bit.
    const double near = format == GisFormat::kGeoJson ? 1e-13 : 0;
    for (const auto& [x, y] : {Point(layout, column - 1, row - 1), Point(layout, column, row - 1),
                               Point(layout, column, row), Point(layout, column - 1, row)}) {
      bool found = false;
      for (int p = 0; p < 4; ++p)
        found = found || (std::fabs(ring->getX(p) - x) <= near * std::fabs(x) &&
                          std::fabs(ring->getY(p) - y) <= near * std::fabs(y));
      EXPECT_TRUE(found) << "corner " << x << " " << y;
    }
    area += polygon->get_Area();
    ++k;
  }
  const double blockArea = std::fabs(double(c.spec.widthTotal) * c.spec.heightTotal);
  EXPECT_LE(std::fabs(area - blockArea), 1e-9 * blockArea);

  const OGRSpatialReference* crs = cells->GetSpatialRef();
  if (*c.srs == '\0') {
    // A GeoJSON file without a CRS counts as WGS 84 (read_gis.py sees that
    // it names none); a GeoPackage's unknown CRS is "Undefined Cartesian SRS".
    if (format != GisFormat::kGeoJson) {
      EXPECT_TRUE(crs == nullptr || crs->GetAuthorityName(nullptr) == nullptr);
    }
  } else {
    ASSERT_NE(crs, nullptr);
    OGRSpatialReference given;
    ASSERT_EQ(given.SetFromUserInput(c.srs), OGRERR_NONE);
    // A Shapefile's .prj holds ESRI's WKT, without the EPSG code.
    if (format == GisFormat::kShapefile) given.morphToESRI(), given.morphFromESRI();
    EXPECT_TRUE(crs->IsSame(&given, std::vector<const char*>{"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES"}.data()));
  }

  if (format == GisFormat::kGeoPackage) {
    OGRLayer* lines = open.dataset->GetLayerByName("grid_lines");
    ASSERT_NE(lines, nullptr);
    EXPECT_TRUE(cells->TestCapability(OLCFastSpatialFilter)) << "no spatial index";
    EXPECT_TRUE(lines->TestCapability(OLCFastSpatialFilter)) << "no spatial index";
    ASSERT_EQ(lines->GetFeatureCount(), static_cast<GIntBig>(layout.lineCount()));
    auto feature = lines->begin();
    layout.WalkGridLines([&](const GridLine& g) {
      const OGRLineString* line = (*feature)->GetGeometryRef()->toLineString();
      EXPECT_EQ(line->getX(0), double(g.startX));
      EXPECT_EQ(line->getY(0), double(g.startY));
      EXPECT_EQ(line->getX(1), double(g.endX));
      EXPECT_EQ(line->getY(1), double(g.endY));
      ++feature;
      return true;
    });
  }
}

// What read_gis.py finds without GDAL, against the DXF's TEXT entities.
void ExpectPythonReadsTheBlock(const std::string& path, const Case& c, const std::vector<DxfText>& texts,
                               const TempDir& dir) {
  const std::string out = dir / "python.out";
  const std::string command = "/usr/bin/python3 " TAVIMO_TESTS_EXPORT_DIR "/read_gis.py '" + path + "' >'" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::istringstream lines(testing::ReadFile(out));
  std::size_t k = 0;
  const long double scale = std::max(std::abs(c.spec.widthTotal), std::abs(c.spec.heightTotal));
  for (std::string kind; lines >> kind;) {
    if (kind == "CRS") {
      std::string crs;
      lines >> crs;
      EXPECT_EQ(crs, *c.srs == '\0' ? "-" : c.srs);
    } else if (kind == "CELL") {
      std::string label, column, row;
      long double x, y;
      lines >> label >> column >> row >> x >> y;
      ASSERT_LT(k, texts.size());
      EXPECT_EQ(label, texts[k].text);
      EXPECT_EQ(column + "-" + row, texts[k].text);
      EXPECT_LE(std::fabs(x - texts[k].x), 1e-9L * (std::fabs(texts[k].x) + scale));
      EXPECT_LE(std::fabs(y - texts[k].y), 1e-9L * (std::fabs(texts[k].y) + scale));
      ++k;
    } else if (kind == "LINES") {
      std::uint64_t count;
      lines >> count;
      EXPECT_EQ(count, BlockLayout(c.spec).lineCount());
    } else if (kind == "AREA") {
      double sum, smallest;
      lines >> sum >> smallest;
      const double blockArea = std::fabs(double(c.spec.widthTotal) * c.spec.heightTotal);
      EXPECT_LE(std::fabs(sum - blockArea), 1e-9 * blockArea);
      EXPECT_GT(smallest, 0) << "a ring goes clockwise";
    }
  }
  EXPECT_EQ(k, texts.size());
}

TEST(GisWriter, ReadersFindTheCellsOfTheDxfFile) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::vector<DxfText> texts = DxfTexts(c.spec, dir);
    ASSERT_EQ(texts.size(), BlockLayout(c.spec).labelCount());
    for (const auto& [format, extension] : kFormats) {
      SCOPED_TRACE(extension);
      const std::string path = dir / (std::string("cells.") + extension);
      const GisOutcome outcome = WriteGisDataset(path, format, c.spec, c.srs, nullptr);
      ASSERT_EQ(outcome.kind, Kind::kWritten) << outcome.message;
      ExpectGdalReadsTheBlock(path, format, c, texts);
      if (format != GisFormat::kShapefile) ExpectPythonReadsTheBlock(path, c, texts, dir);
    }
    const bool crs = *c.srs != '\0';
    EXPECT_EQ(Names(dir.path()).size(), (crs ? 7u : 6u) + 1) << "gpkg, geojson, shp/shx/dbf/cpg/(prj), python.out";
  }
}

TEST(GisWriter, RefusesWhatCannotBeWrittenAndCreatesNothing) {
  TempDir dir;
  const std::pair<BlockSpec, const char*> blocks[] = {
      {testing::Block(0, 0, 20, 10, 0, 5, 30), "with an area"},      // zero cell width
      {testing::Block(0, 0, 0, 10, 5, 5, 30), "with an area"},       // zero block width
      {testing::Block(0, 0, 20, 10, -5, 5, 30), "with an area"},     // a negative count
      {testing::Block(1e15L, 0, 20, 10, 1, 1, 30), "too small"},     // cells lost in the rounding
      {testing::Block(1e400L, 0, 20, 10, 10, 5, 0), "too far"},      // beyond double's range
  };
  for (const auto& [spec, why] : blocks) {
    for (const auto& [format, extension] : kFormats) {
      const GisOutcome outcome = WriteGisDataset(dir / (std::string("b.") + extension), format, spec, "", nullptr);
      EXPECT_EQ(outcome.kind, Kind::kRefused) << why << " " << extension;
      EXPECT_NE(outcome.message.find(why), std::string::npos) << outcome.message;
    }
  }
  // GeoJSON names a CRS by its EPSG code only; GDAL would drop any other.
  const BlockSpec block = testing::Block(0, 0, 20, 10, 10, 5, 30);
  const GisOutcome local = WriteGisDataset(dir / "b.geojson", GisFormat::kGeoJson, block,
                                           "+proj=tmerc +lon_0=15 +k=0.9996 +x_0=500000 +ellps=intl", nullptr);
  EXPECT_EQ(local.kind, Kind::kRefused);
  EXPECT_NE(local.message.find("EPSG code"), std::string::npos) << local.message;
  const GisOutcome wrong = WriteGisDataset(dir / "b.gpkg", GisFormat::kGeoPackage, block, "EPSG:99999999", nullptr);
  EXPECT_EQ(wrong.kind, Kind::kRefused);
  EXPECT_EQ(wrong.message, CheckSrs("EPSG:99999999"));
  EXPECT_TRUE(Names(dir.path()).empty());

  EXPECT_EQ(CheckSrs("EPSG:25833"), std::nullopt);
  EXPECT_EQ(CheckSrs("+proj=utm +zone=33 +datum=WGS84"), std::nullopt);
  EXPECT_NE(CheckSrs("no such system").value_or(""), "");
}

// Numbers go through GDAL's own formatting: a decimal-comma locale changes
// no byte of a GeoJSON file or of a Shapefile's attributes, and the
// process's locale stays as it was.
TEST(GisWriter, TheLocaleChangesNoByte) {
  TempDir dir;
  const BlockSpec block = testing::Block(0.5L, -2.25L, 30, 20, 10, 5, 30);
  const auto write = [&](const std::string& name) {
    for (const auto& [format, extension] : kFormats)
      ASSERT_EQ(WriteGisDataset(dir / name + "." + extension, format, block, "", nullptr).kind, Kind::kWritten);
  };
  write("c");
  const std::string saved = setlocale(LC_ALL, nullptr);
  ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup generates the locale";
  write("de");
  EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "de_DE.UTF-8");
  setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(testing::ReadFile(dir / "de.geojson"), testing::ReadFile(dir / "c.geojson"));
  EXPECT_EQ(testing::ReadFile(dir / "de.dbf"), testing::ReadFile(dir / "c.dbf"));
}

// Answers yes until the step numbered `cancelAt` (0 is the first).
class CancellingProgress : public Progress {
 public:
  explicit CancellingProgress(int cancelAt) : cancelAt_(cancelAt) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    EXPECT_LE(done, total);
    EXPECT_GE(done, last_);
    last_ = done;
    return steps++ != cancelAt_;
  }
  int steps = 0;

 private:
  int cancelAt_;
  std::uint64_t last_ = 0;
};

TEST(GisWriter, CancelLeavesNothingBehind) {
  TempDir dir;
  const BlockSpec block = testing::Block(0, 0, 100, 100, 1, 1, 30);  // more cells than a chunk
  for (const auto& [format, extension] : kFormats) {
    SCOPED_TRACE(extension);
    const std::string path = dir / (std::string("b.") + extension);
    CancellingProgress counting(-1);
    ASSERT_EQ(WriteGisDataset(path, format, block, "EPSG:25833", &counting).kind, Kind::kWritten);
    ASSERT_GE(counting.steps, 4);  // the start, a step per chunk, the end
    for (const std::string& file : GisDatasetFiles(path, format)) std::remove(file.c_str());
    for (const int at : {0, 1, counting.steps - 1}) {
      CancellingProgress cancelling(at);
      EXPECT_EQ(WriteGisDataset(path, format, block, "EPSG:25833", &cancelling).kind, Kind::kCancelled) << at;
      EXPECT_TRUE(Names(dir.path()).empty()) << at;
    }
  }
}

// A full disk, as far as the writer can tell: files may not grow beyond
// 64 kB (run in a child process). 0 when the write failed as it should.
int WriteToFullDisk(const std::string& path, GisFormat format) {
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
  const rlimit limits{64 * 1024, 64 * 1024};
  if (setrlimit(RLIMIT_FSIZE, &limits) != 0) return 10;
  const GisOutcome full = WriteGisDataset(path, format, testing::Block(0, 0, 100, 100, 1, 1, 30), "", nullptr);
  std::fprintf(stderr, "outcome %d, error %d: %s\n", static_cast<int>(full.kind), full.error, full.message.c_str());
  return full.kind == Kind::kFailed && !full.message.empty() ? 0 : 1;
}

TEST(GisWriter, FailuresLeaveNothingBehind) {
  TempDir dir;
  const BlockSpec block = testing::Block(0, 0, 20, 10, 10, 5, 30);
  testing::WriteFile(dir / "in_the_way.dbf", "old");
  for (const auto& [format, extension] : kFormats) {
    SCOPED_TRACE(extension);
    const GisOutcome missing = WriteGisDataset(dir / "missing/b." + extension, format, block, "", nullptr);
    EXPECT_EQ(missing.kind, Kind::kFailed);
    EXPECT_NE(missing.message, "");
  }
  const GisOutcome inTheWay = WriteGisDataset(dir / "in_the_way.shp", GisFormat::kShapefile, block, "", nullptr);
  EXPECT_EQ(inTheWay.kind, Kind::kFailed);
  EXPECT_EQ(inTheWay.error, EEXIST);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"in_the_way.dbf"});
  EXPECT_EQ(testing::ReadFile(dir / "in_the_way.dbf"), "old");

  for (const auto& [format, extension] : kFormats) {
    EXPECT_EXIT(std::exit(WriteToFullDisk(dir / (std::string("full.") + extension), format)),
                ::testing::ExitedWithCode(0), "")
        << extension;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"in_the_way.dbf"}) << extension;
  }
}

}  // namespace
}  // namespace tavimo
