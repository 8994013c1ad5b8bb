// GIS datasets read back by GDAL and, without GDAL, by Python's sqlite3
// (GeoPackage) and json (GeoJSON): the cells must carry the labels of the
// DXF file's TEXT entities of the same block, at the same points, as valid
// polygons on the layout's grid points; failures and cancels leave nothing.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <signal.h>
#include <sqlite3.h>
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
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Names;
using testing::TempDir;
using Kind = SaveOutcome::Kind;

struct Cell {
  std::string label;
  std::int64_t column = 0, row = 0;
  long double x = 0, y = 0;
  double angle = 0;  // label_angle, or the DXF's TEXT rotation
};

// The TEXT entities of the block's DXF file, as the save command writes it.
std::vector<Cell> DxfCells(const BlockSpec& spec, const TempDir& dir) {
  EXPECT_EQ(SaveBlockTo(dir / "block.dxf", spec).kind, SaveOutcome::Kind::kSaved);
  const std::vector<std::string> lines = testing::CrLfLines(testing::ReadFile(dir / "block.dxf"));
  std::remove((dir / "block.dxf").c_str());
  std::vector<Cell> cells;
  bool text = false;
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    const std::string& value = lines[i + 1];
    if (lines[i] == " 0 " && (text = value == "TEXT")) cells.emplace_back();
    if (!text) continue;
    if (lines[i] == " 10 ") cells.back().x = std::strtold(value.c_str(), nullptr);
    if (lines[i] == " 20 ") cells.back().y = std::strtold(value.c_str(), nullptr);
    if (lines[i] == " 1 ") cells.back().label = value;
    if (lines[i] == " 50 ") cells.back().angle = std::strtod(value.c_str(), nullptr);
  }
  return cells;
}

void ExpectTheDxfCells(const std::vector<Cell>& read, const std::vector<Cell>& dxf, const BlockSpec& spec) {
  const long double scale = std::max(std::abs(spec.widthTotal), std::abs(spec.heightTotal));
  ASSERT_EQ(read.size(), dxf.size());
  for (std::size_t k = 0; k < dxf.size(); ++k) {
    EXPECT_EQ(read[k].label, dxf[k].label);
    EXPECT_EQ(std::to_string(read[k].column) + "-" + std::to_string(read[k].row), dxf[k].label);
    EXPECT_LE(std::fabs(read[k].x - dxf[k].x), 1e-9L * (std::fabs(dxf[k].x) + scale)) << dxf[k].label;
    EXPECT_LE(std::fabs(read[k].y - dxf[k].y), 1e-9L * (std::fabs(dxf[k].y) + scale)) << dxf[k].label;
    // Clockwise, the DXF's direction counter-clockwise: a whole turn together.
    EXPECT_TRUE(read[k].angle >= 0 && read[k].angle < 360) << read[k].angle;
    EXPECT_EQ(std::fmod(read[k].angle + dxf[k].angle, 360.0), 0.0) << read[k].angle << " " << dxf[k].angle;
  }
}

double BlockArea(const BlockSpec& spec) { return std::fabs(double(spec.widthTotal) * spec.heightTotal); }

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

const std::pair<SaveFormat, const char*> kFormats[] = {
    {SaveFormat::kGeoPackage, "gpkg"}, {SaveFormat::kGeoJson, "geojson"}, {SaveFormat::kShapefile, "shp"}};

std::pair<double, double> Point(const BlockLayout& layout, std::int64_t i, std::int64_t j) {
  long double x, y;
  layout.GridPoint(i, j, x, y);
  return {static_cast<double>(x), static_cast<double>(y)};
}

// The cells as GDAL reads them, each polygon checked on the way: valid, on
// the layout's grid points (exactly, as doubles), oriented as the format
// keeps it; then the area, the CRS and a GeoPackage's grid lines.
std::vector<Cell> ReadWithGdal(const std::string& path, SaveFormat format, const Case& c) {
  std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  // A Shapefile's layer is named after its file: cells.shp.
  OGRLayer* layer = dataset == nullptr ? nullptr : dataset->GetLayerByName("cells");
  if (layer == nullptr) {
    ADD_FAILURE() << "GDAL cannot read " << path;
    return {};
  }
  const BlockLayout layout(c.spec);
  std::vector<Cell> cells;
  double area = 0;
  for (auto& feature : *layer) {
    Cell& cell = cells.emplace_back();
    cell = {feature->GetFieldAsString("label"), feature->GetFieldAsInteger64("column"),
            feature->GetFieldAsInteger64("row"), feature->GetFieldAsDouble("label_x"),
            feature->GetFieldAsDouble("label_y"),
            feature->GetFieldAsDouble(format == SaveFormat::kShapefile ? "label_angl" : "label_angle")};
    const OGRPolygon* polygon = feature->GetGeometryRef()->toPolygon();
    const OGRLinearRing* ring = polygon->getExteriorRing();
    EXPECT_TRUE(polygon->IsValid() && ring->getNumPoints() == 5 && ring->get_IsClosed()) << cell.label;
    // A Shapefile keeps outer rings clockwise, and GDAL reads them so.
    EXPECT_EQ(ring->isClockwise(), format == SaveFormat::kShapefile) << cell.label;
    // GDAL's GeoJSON writer shortens 17 digits that run into 000000 or
    // 999999 to as few as 14; the binary formats keep every bit.
    const double near = format == SaveFormat::kGeoJson ? 1e-13 : 0;
    for (const auto& [x, y] : {Point(layout, cell.column - 1, cell.row - 1), Point(layout, cell.column, cell.row - 1),
                               Point(layout, cell.column, cell.row), Point(layout, cell.column - 1, cell.row)}) {
      bool found = false;
      for (int p = 0; p < 4 && ring->getNumPoints() == 5; ++p)
        found = found || (std::fabs(ring->getX(p) - x) <= near * std::fabs(x) &&
                          std::fabs(ring->getY(p) - y) <= near * std::fabs(y));
      EXPECT_TRUE(found) << cell.label << ": no corner " << x << " " << y;
    }
    area += polygon->get_Area();
  }
  EXPECT_LE(std::fabs(area - BlockArea(c.spec)), 1e-9 * BlockArea(c.spec));

  const OGRSpatialReference* crs = layer->GetSpatialRef();
  if (*c.srs != '\0') {
    OGRSpatialReference given;
    given.SetFromUserInput(c.srs);
    // A Shapefile's .prj holds ESRI's WKT, without the EPSG code.
    if (format == SaveFormat::kShapefile) given.morphToESRI(), given.morphFromESRI();
    const char* options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    EXPECT_TRUE(crs != nullptr && crs->IsSame(&given, options));
  } else if (format != SaveFormat::kGeoJson) {  // which counts as WGS 84 (read_gis.py sees no CRS)
    EXPECT_TRUE(crs == nullptr || crs->GetAuthorityName(nullptr) == nullptr);
  }

  if (format == SaveFormat::kGeoPackage) {
    OGRLayer* lines = dataset->GetLayerByName("grid_lines");
    EXPECT_TRUE(layer->TestCapability(OLCFastSpatialFilter) && lines->TestCapability(OLCFastSpatialFilter))
        << "no spatial index";
    EXPECT_EQ(lines->GetFeatureCount(), static_cast<GIntBig>(layout.lineCount()));
    auto feature = lines->begin();
    layout.WalkGridLines([&](const GridLine& g) {
      const OGRLineString* line = (*feature)->GetGeometryRef()->toLineString();
      EXPECT_TRUE(line->getX(0) == double(g.startX) && line->getY(0) == double(g.startY) &&
                  line->getX(1) == double(g.endX) && line->getY(1) == double(g.endY));
      ++feature;
      return true;
    });
  }
  return cells;
}

// The cells as read_gis.py finds them without GDAL, its CRS, line count
// and areas checked on the way.
std::vector<Cell> ReadWithPython(const std::string& path, const Case& c, const TempDir& dir) {
  const std::string out = dir / "python.out";
  const std::string command = "/usr/bin/python3 " TAVIMO_TESTS_EXPORT_DIR "/read_gis.py '" + path + "' >'" + out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::istringstream lines(testing::ReadFile(out));
  std::remove(out.c_str());
  std::vector<Cell> cells;
  for (std::string kind; lines >> kind;) {
    if (kind == "CELL") {
      Cell& cell = cells.emplace_back();
      lines >> cell.label >> cell.column >> cell.row >> cell.x >> cell.y >> cell.angle;
    } else if (kind == "CRS") {
      std::string crs;
      lines >> crs;
      EXPECT_EQ(crs, *c.srs == '\0' ? "-" : c.srs);
    } else if (kind == "LINES") {
      std::uint64_t count;
      lines >> count;
      EXPECT_EQ(count, BlockLayout(c.spec).lineCount());
    } else if (kind == "AREA") {
      double sum, smallest;
      lines >> sum >> smallest;
      EXPECT_LE(std::fabs(sum - BlockArea(c.spec)), 1e-9 * BlockArea(c.spec));
      EXPECT_GT(smallest, 0) << "a ring goes clockwise";
    }
  }
  return cells;
}

TEST(GisWriter, ReadersFindTheCellsOfTheDxfFile) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::vector<Cell> dxf = DxfCells(c.spec, dir);
    ASSERT_EQ(dxf.size(), BlockLayout(c.spec).labelCount());
    for (const auto& [format, extension] : kFormats) {
      SCOPED_TRACE(extension);
      const std::string path = dir / (std::string("cells.") + extension);
      const SaveOutcome outcome = WriteGisDataset(TargetOfPath(path), c.spec, c.srs, nullptr);
      ASSERT_EQ(outcome.kind, Kind::kSaved) << outcome.reason;
      ExpectTheDxfCells(ReadWithGdal(path, format, c), dxf, c.spec);
      if (format != SaveFormat::kShapefile) ExpectTheDxfCells(ReadWithPython(path, c, dir), dxf, c.spec);
    }
    EXPECT_EQ(Names(dir.path()).size(), *c.srs != '\0' ? 7u : 6u) << "gpkg, geojson, shp/shx/dbf/cpg/(prj)";
  }
}

// Labels from a template, quotes and a backslash among them, in every
// format, with the Shapefile's field wide enough for the longest.
TEST(GisWriter, TemplateLabelsInEveryFormat) {
  TempDir dir;
  CellBlock block(testing::Block(0, 0, 30, 20, 10, 10, 30));
  block.labels.labelTemplate = std::get<LabelTemplate>(LabelTemplate::Read("Sector \"{col:A}\"\\{row:03}/{n}"));
  block.labels.order = NumberOrder::kSerpentine;
  for (const char* name : {"cells.gpkg", "cells.geojson", "cells.shp"}) {
    ASSERT_EQ(SaveBlockTo(dir / name, block).kind, Kind::kSaved) << name;
    std::unique_ptr<GDALDataset> dataset(GDALDataset::Open((dir / name).c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(dataset != nullptr) << name;
    std::vector<std::string> labels;
    for (auto& feature : *dataset->GetLayerByName("cells")) labels.push_back(feature->GetFieldAsString("label"));
    EXPECT_EQ(labels, (std::vector<std::string>{"Sector \"A\"\\001/1", "Sector \"B\"\\001/2", "Sector \"C\"\\001/3",
                                                "Sector \"A\"\\002/6", "Sector \"B\"\\002/5", "Sector \"C\"\\002/4"}))
        << name;
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
      const SaveOutcome outcome = WriteGisDataset(TargetOfPath(dir / (std::string("b.") + extension)), spec, "", nullptr);
      EXPECT_EQ(outcome.kind, Kind::kRefused) << why << " " << extension;
      EXPECT_NE(outcome.reason.find(why), std::string::npos) << outcome.reason;
    }
  }
  // GeoJSON names a CRS by its EPSG code only; GDAL would drop any other.
  const BlockSpec block = testing::Block(0, 0, 20, 10, 10, 5, 30);
  const SaveOutcome local = WriteGisDataset(TargetOfPath(dir / "b.geojson"), block,
                                            "+proj=tmerc +lon_0=15 +k=0.9996 +x_0=500000 +ellps=intl", nullptr);
  EXPECT_EQ(local.kind, Kind::kRefused);
  EXPECT_NE(local.reason.find("EPSG code"), std::string::npos) << local.reason;
  const SaveOutcome wrong = WriteGisDataset(TargetOfPath(dir / "b.gpkg"), block, "EPSG:99999999", nullptr);
  EXPECT_EQ(wrong.kind, Kind::kRefused);
  EXPECT_EQ(wrong.reason, CheckSrs("EPSG:99999999"));
  EXPECT_TRUE(Names(dir.path()).empty());

  // A Shapefile's .shp would pass 2 GB: GDAL would warn once it did.
  const SaveOutcome tooLarge =
      WriteGisDataset(TargetOfPath(dir / "b.shp"), testing::Block(0, 0, 4000, 4000, 1, 1, 0), "", nullptr);
  EXPECT_EQ(tooLarge.kind, Kind::kRefused);
  EXPECT_NE(tooLarge.reason.find("2 GB"), std::string::npos) << tooLarge.reason;
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
      ASSERT_EQ(WriteGisDataset(TargetOfPath(dir / name + "." + extension), block, "", nullptr).kind, Kind::kSaved);
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
struct CancellingProgress : Progress {
  explicit CancellingProgress(int cancelAt) : cancelAt(cancelAt) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    EXPECT_TRUE(last <= done && done <= total);
    last = done;
    return steps++ != cancelAt;
  }
  int cancelAt, steps = 0;
  std::uint64_t last = 0;
};

TEST(GisWriter, CancelLeavesNothingBehind) {
  TempDir dir;
  const BlockSpec block = testing::Block(0, 0, 100, 100, 1, 1, 30);  // more cells than a chunk
  for (const auto& [format, extension] : kFormats) {
    SCOPED_TRACE(extension);
    const SaveTarget target = TargetOfPath(dir / (std::string("b.") + extension));
    CancellingProgress counting(-1);
    ASSERT_EQ(WriteGisDataset(target, block, "EPSG:25833", &counting).kind, Kind::kSaved);
    ASSERT_GE(counting.steps, 4);  // the start, a step per chunk, the end
    for (const std::string& file : target.files) std::remove(file.c_str());
    // At the start, in the first chunk, half way (a GeoPackage's index), at the end.
    for (const int at : {0, 1, counting.steps / 2, counting.steps - 1}) {
      CancellingProgress cancelling(at);
      EXPECT_EQ(WriteGisDataset(target, block, "EPSG:25833", &cancelling).kind, Kind::kCancelled) << at;
      EXPECT_TRUE(Names(dir.path()).empty()) << at;
    }
  }
}

// Lifts the file-size limit once the first chunk is written: the disk was
// full for a moment, and the writes after it go through.
struct SpaceAgain : Progress {
  bool Step(std::uint64_t done, std::uint64_t) override {
    rlimit limits{};
    getrlimit(RLIMIT_FSIZE, &limits);
    limits.rlim_cur = limits.rlim_max;
    if (done > 0) setrlimit(RLIMIT_FSIZE, &limits);
    return true;
  }
};

// A full disk, as far as the writer can tell: files may not grow beyond
// 64 kB (run in a child process), for good or, with `forAMoment`, until the
// first chunk is written. 0 when the save failed as it should.
int WriteToFullDisk(const std::string& path, bool forAMoment = false) {
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
  rlimit limits{};
  getrlimit(RLIMIT_FSIZE, &limits);
  limits.rlim_cur = 64 * 1024;
  if (!forAMoment) limits.rlim_max = limits.rlim_cur;
  if (setrlimit(RLIMIT_FSIZE, &limits) != 0) return 10;
  SpaceAgain spaceAgain;
  const SaveOutcome full = WriteGisDataset(TargetOfPath(path), testing::Block(0, 0, 100, 100, 1, 1, 30), "",
                                           forAMoment ? &spaceAgain : nullptr);
  std::fprintf(stderr, "outcome %d, error %d: %s\n", static_cast<int>(full.kind), full.error, full.reason.c_str());
  // SQLite reports in its own words; the other files' writes are checked.
  const bool named = TargetOfPath(path).format == SaveFormat::kGeoPackage || full.error == EFBIG;
  return full.kind == Kind::kFailed && !full.reason.empty() && named ? 0 : 1;
}

// Fills the disk once the cells' rows are written, as the GeoPackage's
// index goes in: the file may grow no further.
struct FullDuringTheIndex : Progress {
  explicit FullDuringTheIndex(std::string path) : path(std::move(path)) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    struct stat st {};
    if (!full && done > total / 3 && stat(path.c_str(), &st) == 0) {
      rlimit limits{};
      getrlimit(RLIMIT_FSIZE, &limits);
      limits.rlim_cur = static_cast<rlim_t>(st.st_size);
      full = setrlimit(RLIMIT_FSIZE, &limits) == 0;
    }
    return true;
  }
  std::string path;
  bool full = false;
};

int WriteWhileTheDiskFillsDuringTheIndex(const std::string& path) {
  signal(SIGXFSZ, SIG_IGN);
  FullDuringTheIndex filling(path);
  const SaveOutcome full = WriteGisDataset(TargetOfPath(path), testing::Block(0, 0, 100, 100, 1, 1, 30), "", &filling);
  std::fprintf(stderr, "outcome %d, error %d: %s\n", static_cast<int>(full.kind), full.error, full.reason.c_str());
  return filling.full && full.kind == Kind::kFailed && !full.reason.empty() ? 0 : 1;
}

TEST(GisWriter, FailuresLeaveNothingBehind) {
  TempDir dir;
  const BlockSpec block = testing::Block(0, 0, 20, 10, 10, 5, 30);
  testing::WriteFile(dir / "in_the_way.dbf", "old");
  for (const auto& [format, extension] : kFormats) {
    SCOPED_TRACE(extension);
    const SaveOutcome missing = WriteGisDataset(TargetOfPath(dir / "missing/b." + extension), block, "", nullptr);
    EXPECT_EQ(missing.kind, Kind::kFailed);
    EXPECT_NE(missing.reason, "");
  }
  const SaveOutcome inTheWay = WriteGisDataset(TargetOfPath(dir / "in_the_way.shp"), block, "", nullptr);
  EXPECT_EQ(inTheWay.kind, Kind::kFailed);
  EXPECT_EQ(inTheWay.error, EEXIST);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"in_the_way.dbf"});
  EXPECT_EQ(testing::ReadFile(dir / "in_the_way.dbf"), "old");

  for (const auto& [format, extension] : kFormats) {
    EXPECT_EXIT(std::exit(WriteToFullDisk(dir / (std::string("full.") + extension))),
                ::testing::ExitedWithCode(0), "")
        << extension;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"in_the_way.dbf"}) << extension;
  }
  EXPECT_EXIT(std::exit(WriteWhileTheDiskFillsDuringTheIndex(dir / "index.gpkg")), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"in_the_way.dbf"});
}

// GDAL's GeoJSON writer and the Shapefile library go on after a failed
// write: the file would end whole with a hole in it.
TEST(GisWriter, ADiskFullForAMomentFailsTheSave) {
  TempDir dir;
  for (const auto& [format, extension] : kFormats) {
    EXPECT_EXIT(std::exit(WriteToFullDisk(dir / (std::string("full.") + extension), true)),
                ::testing::ExitedWithCode(0), "")
        << extension;
    EXPECT_TRUE(Names(dir.path()).empty()) << extension;
  }
}

// The features of `source` (a GeoPackage of ours: every bit of the
// doubles) written feature by feature through GDAL, with the layers, fields
// and options Tavimo gives GDAL: what GDAL alone made of the same cells.
// `like`: our file of the format, whose .dbf has the widths Tavimo gives.
void WriteFeatureByFeature(const std::string& source, const std::string& like, const std::string& path,
                           SaveFormat format, const char* srs) {
  std::unique_ptr<GDALDataset> in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  const char* driverName = format == SaveFormat::kGeoPackage ? "GPKG"
                           : format == SaveFormat::kGeoJson  ? "GeoJSON"
                                                             : "ESRI Shapefile";
  GDALDataset* out = GetGDALDriverManager()->GetDriverByName(driverName)->Create(path.c_str(), 0, 0, 0, GDT_Unknown,
                                                                                   nullptr);
  ASSERT_TRUE(in != nullptr && out != nullptr);
  OGRSpatialReference crs;
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (*srs != '\0') crs.SetFromUserInput(srs);
  for (const char* name : {"cells", "grid_lines", "cell_centres"}) {
    if (format != SaveFormat::kGeoPackage && std::string(name) == "grid_lines") break;
    OGRLayer* from = in->GetLayerByName(name);
    if (from == nullptr) break;
    CPLStringList options;
    if (format == SaveFormat::kShapefile) options.SetNameValue("ENCODING", "UTF-8");
    if (format == SaveFormat::kGeoJson) options.SetNameValue("SIGNIFICANT_FIGURES", "17");
    if (format == SaveFormat::kGeoPackage) options.SetNameValue("SPATIAL_INDEX", "NO");
    OGRLayer* to = out->CreateLayer(name, *srs != '\0' ? &crs : nullptr, from->GetGeomType(), options.List());
    if (format == SaveFormat::kGeoPackage)
      out->ReleaseResultSet(out->ExecuteSQL(("SELECT CreateSpatialIndex('" + std::string(name) + "', 'geom')").c_str(),
                                            nullptr, nullptr));
    for (int k = 0; k < from->GetLayerDefn()->GetFieldCount(); ++k) {
      OGRFieldDefn field(from->GetLayerDefn()->GetFieldDefn(k));
      if (format == SaveFormat::kShapefile) {
        if (std::string(field.GetNameRef()) == "label_angle") field.SetName("label_angl");
        std::unique_ptr<GDALDataset> ours(GDALDataset::Open(like.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        const OGRFieldDefn* widths = ours->GetLayer(0)->GetLayerDefn()->GetFieldDefn(k);
        field.SetWidth(widths->GetWidth());
        field.SetPrecision(widths->GetPrecision());
      }
      to->CreateField(&field);
    }
    // Field by field in their order: a Shapefile's names are shorter.
    std::vector<int> same(static_cast<std::size_t>(from->GetLayerDefn()->GetFieldCount()));
    for (std::size_t k = 0; k < same.size(); ++k) same[k] = static_cast<int>(k);
    out->StartTransaction();
    for (auto& feature : *from) {
      OGRFeature copy(to->GetLayerDefn());
      copy.SetFrom(feature.get(), same.data());
      copy.SetFID(OGRNullFID);
      ASSERT_EQ(to->CreateFeature(&copy), OGRERR_NONE);
    }
    out->CommitTransaction();
  }
  GDALClose(out);
}

// Rows of an SQL query, one line each.
std::string Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string rows;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) rows = sqlite3_errmsg(db);
    while (query != nullptr && sqlite3_step(query) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(query); ++c) {
        const auto* text = sqlite3_column_text(query, c);
        rows += (c > 0 ? "|" : "") + std::string(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
      }
      rows += "\n";
    }
    sqlite3_finalize(query);
  }
  sqlite3_close(db);
  return rows;
}

// What a GeoPackage holds: rows, geometry blobs, index entries, metadata
// (but for the time of the last change) and schema.
std::string GeoPackageContent(const std::string& path) {
  std::string content;
  for (const char* sql :
       {"SELECT fid, hex(geom), \"column\", \"row\", label, quote(label_x), quote(label_y) FROM cells ORDER BY fid",
        "SELECT fid, hex(geom) FROM grid_lines ORDER BY fid",
        "SELECT fid, hex(geom), \"column\", \"row\", label FROM cell_centres ORDER BY fid",
        "SELECT id, quote(minx), quote(maxx), quote(miny), quote(maxy) FROM rtree_cells_geom ORDER BY id",
        "SELECT id, quote(minx), quote(maxx), quote(miny), quote(maxy) FROM rtree_grid_lines_geom ORDER BY id",
        "SELECT id, quote(minx), quote(maxx), quote(miny), quote(maxy) FROM rtree_cell_centres_geom ORDER BY id",
        "SELECT table_name, data_type, identifier, description, quote(min_x), quote(min_y), quote(max_x), "
        "quote(max_y), srs_id FROM gpkg_contents ORDER BY table_name",
        "SELECT * FROM gpkg_ogr_contents ORDER BY table_name", "SELECT * FROM gpkg_extensions ORDER BY table_name",
        "SELECT * FROM gpkg_geometry_columns ORDER BY table_name", "SELECT * FROM gpkg_spatial_ref_sys ORDER BY srs_id",
        "SELECT * FROM sqlite_sequence ORDER BY name", "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name"})
    content += Query(path, sql) + "--\n";
  return content;
}

// The bulk writers leave the files GDAL's per-feature path writes for the
// same features: the same bytes (a .dbf's date aside), the same rows,
// index entries and metadata; SQLite finds the database and each index
// sound. A GeoPackage with and without the layer cell_centres.
TEST(GisWriter, TheFilesHoldWhatGdalWritesFeatureByFeature) {
  GDALAllRegister();
  const Case cases[] = {
      {"two_index_levels", testing::Block(389200, 5819400, 120, 80, 1, 1, 17), "EPSG:25833"},
      {"mirrored", testing::Block(-7.5L, 2, -30, -20, -10, -5, 330), ""},
      {"far_out", testing::Block(1e12L, 3e11L, 300, 3, 1, 1, 45), "EPSG:4326"},
      // 65,536 rows and more: a GeoPackage of 64 KiB pages, records on two threads.
      {"large", testing::Block(0, 0, 260, 255, 1, 1, 30), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const bool centres = std::string(c.name) != "mirrored";
    for (const auto& [format, extension] : kFormats) {
      const std::string ours = dir / (std::string("ours.") + extension);
      const bool withCentres = centres && format == SaveFormat::kGeoPackage;
      ASSERT_EQ(WriteGisDataset(TargetOfPath(ours), c.spec, c.srs, nullptr, nullptr, withCentres).kind, Kind::kSaved)
          << extension;
    }
    for (const auto& [format, extension] : kFormats) {
      SCOPED_TRACE(extension);
      const std::string theirs = dir / (std::string("gdal_ref.") + extension);
      WriteFeatureByFeature(dir / "ours.gpkg", dir / (std::string("ours.") + extension), theirs, format, c.srs);
      if (format == SaveFormat::kGeoPackage) {
        EXPECT_EQ(GeoPackageContent(dir / "ours.gpkg"), GeoPackageContent(theirs));
        EXPECT_EQ(Query(dir / "ours.gpkg", "PRAGMA integrity_check"), "ok\n");
        for (const char* index : {"rtree_cells_geom", "rtree_grid_lines_geom", "rtree_cell_centres_geom"}) {
          if (!centres && std::string(index) == "rtree_cell_centres_geom") continue;
          EXPECT_EQ(Query(dir / "ours.gpkg", std::string("SELECT rtreecheck('") + index + "')"), "ok\n") << index;
        }
        EXPECT_EQ(Query(dir / "ours.gpkg", "SELECT count(*) FROM gpkg_contents WHERE table_name = 'cell_centres'"),
                  centres ? "1\n" : "0\n");
        continue;
      }
      for (const char* suffix : {".geojson", ".shp", ".shx", ".dbf", ".cpg", ".prj"}) {
        const std::string file = std::string("ours") + suffix;
        if (!testing::Exists(dir / file) || (format == SaveFormat::kGeoJson) != (std::string(suffix) == ".geojson"))
          continue;
        std::string mine = testing::ReadFile(dir / file), gdal = testing::ReadFile(dir / ("gdal_ref" + std::string(suffix)));
        if (std::string(suffix) == ".dbf" && mine.size() > 4 && gdal.size() > 4)
          mine.replace(1, 3, gdal.substr(1, 3));  // the date of the last change
        EXPECT_TRUE(mine == gdal) << file;
      }
    }
  }
}

// Far from the origin the area of a cell summed from its corners cancels
// out; its way round must come from the block. GDAL's test looks at the
// corner, where nothing cancels.
TEST(GisWriter, RingsGoRoundTheWayTheFormatWantsFarFromTheOrigin) {
  GDALAllRegister();
  TempDir dir;
  for (const auto& [format, extension] : kFormats) {
    const std::string path = dir / (std::string("far.") + extension);
    ASSERT_EQ(WriteGisDataset(TargetOfPath(path), testing::Block(1e12L, 3e11L, 300, 2, 1, 1, 45), "", nullptr).kind,
              Kind::kSaved);
    std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_NE(dataset, nullptr);
    int wrongWay = 0, cells = 0;
    for (auto& feature : *dataset->GetLayer(0)) {  // a Shapefile's layer is named after its file
      ++cells;
      wrongWay += feature->GetGeometryRef()->toPolygon()->getExteriorRing()->isClockwise() !=
                  (format == SaveFormat::kShapefile);
    }
    EXPECT_EQ(cells, 600) << extension;
    EXPECT_EQ(wrongWay, 0) << extension;
  }
}

}  // namespace
}  // namespace tavimo
