// Clip areas read through the GIS module, against GEOS cell by cell: each
// mode, an area with a hole and one of overlapping and separate parts, on
// blocks turned and not; an area drawn along the grid lines; areas in
// another CRS; the refusals; clipped saves.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "export/gis_writer.h"
#include "export/save_block.h"
#include "model/block_layout.h"
#include "model/clipped_walk.h"
#include "model/rotate_point.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::TempDir;
using Cells = std::set<std::pair<std::int64_t, std::int64_t>>;  // (column0, row0)

// A polygon from points in cells of the block (u along its width, v along
// its height), as world coordinates.
std::unique_ptr<OGRPolygon> InCells(const BlockLayout& layout,
                                    const std::vector<std::vector<std::pair<double, double>>>& rings) {
  const CellBlock& b = layout.block();
  const Rotation rotation(b.turn);
  auto polygon = std::make_unique<OGRPolygon>();
  for (const auto& points : rings) {
    auto* ring = new OGRLinearRing;
    for (std::size_t k = 0; k <= points.size(); ++k) {
      const auto [u, v] = points[k % points.size()];
      long double x, y;
      rotation.Hor(b.startX, b.startY, u * b.widthCell, x, y);
      rotation.Ver(x, y, v * b.heightCell, x, y);
      ring->addPoint(static_cast<double>(x), static_cast<double>(y));
    }
    polygon->addRingDirectly(ring);
  }
  return polygon;
}

// A layer of one feature per geometry, in `crs` (null: none).
void WriteArea(const std::string& path, const char* driver, const std::vector<const OGRGeometry*>& geometries,
               const OGRSpatialReference* crs = nullptr, const char* name = "area") {
  GDALAllRegister();
  const GDALDatasetUniquePtr dataset(
      GetGDALDriverManager()->GetDriverByName(driver)->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  ASSERT_NE(dataset, nullptr);
  std::unique_ptr<OGRSpatialReference> copy(crs != nullptr ? crs->Clone() : nullptr);
  OGRLayer* layer = dataset->CreateLayer(name, copy.get(), wkbUnknown, nullptr);
  ASSERT_NE(layer, nullptr);
  for (const OGRGeometry* geometry : geometries) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetGeometry(geometry);
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
}

std::unique_ptr<CellFilter> Open(const std::string& path, const CellBlock& block, ClipMode mode,
                                 const std::string& srs = "", const std::string& layer = "") {
  ClipArea area = OpenClipArea({path, layer, mode}, block, srs);
  if (const auto* refusal = std::get_if<ClipRefusal>(&area)) {
    ADD_FAILURE() << refusal->reason;
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<CellFilter>>(area));
}

Cells Kept(CellFilter& filter, const BlockLayout& layout) {
  Cells cells;
  ClippedWalk(layout, filter).WalkRows([&](std::int64_t r, const std::vector<ColumnRange>& kept) {
    for (const ColumnRange& range : kept)
      for (std::int64_t c = range.first; c < range.last; ++c) cells.insert({c, r});
    return true;
  });
  return cells;
}

// GEOS's answer for every cell.
Cells ByGeos(const OGRGeometry& area, const BlockLayout& layout, ClipMode mode) {
  Cells cells;
  for (std::int64_t r = 0; r < layout.rowCount(); ++r) {
    for (std::int64_t c = 0; c < layout.columnCount(); ++c) {
      auto* ring = new OGRLinearRing;
      double sx = 0, sy = 0;
      for (const auto& [i, j] : {std::pair{c, r}, {c + 1, r}, {c + 1, r + 1}, {c, r + 1}, {c, r}}) {
        long double x, y;
        layout.GridPoint(i, j, x, y);
        ring->addPoint(static_cast<double>(x), static_cast<double>(y));
      }
      for (int k = 0; k < 4; ++k) sx += ring->getX(k) / 4, sy += ring->getY(k) / 4;
      OGRPolygon cell;
      cell.addRingDirectly(ring);
      const OGRPoint centre(sx, sy);
      const bool kept = mode == ClipMode::kTouches  ? area.Intersects(&cell) && !area.Touches(&cell)
                        : mode == ClipMode::kInside ? area.Contains(&cell)
                                                    : area.Contains(&centre);
      if (kept) cells.insert({c, r});
    }
  }
  return cells;
}

const ClipMode kModes[] = {ClipMode::kTouches, ClipMode::kInside, ClipMode::kCentre};

TEST(ClipArea, KeepsTheCellsGeosKeeps) {
  CellBlock mirrored = BlockSpec{500123.25L, 5800456.5L, 60, -36, 5, -4, 0};
  mirrored.turn = Turn::Degrees(342.7L);
  const CellBlock blocks[] = {BlockSpec{3, 2, 60, 36, 5, 4, 0}, BlockSpec{500000, 5800000, 60, 36, 5, 4, 30},
                              mirrored};
  for (const CellBlock& block : blocks) {
    const BlockLayout layout(block);
    TempDir dir;
    // A quadrilateral reaching out of the block, with a hole.
    const auto holed = InCells(layout, {{{-1.3, -0.6}, {9.7, 1.2}, {12.9, 8.4}, {2.2, 10.3}},
                                        {{3.3, 3.1}, {7.6, 2.7}, {6.1, 6.4}}});
    // Two parts that overlap, one of two parts more.
    const auto a = InCells(layout, {{{0.4, 0.3}, {5.6, 0.9}, {4.2, 4.7}}});
    const auto b = InCells(layout, {{{3.1, 2.2}, {8.8, 1.7}, {7.9, 6.6}, {2.7, 5.1}}});
    OGRMultiPolygon more;
    more.addGeometryDirectly(InCells(layout, {{{9.4, 6.2}, {13.5, 7.1}, {10.2, 9.8}}}).release());
    more.addGeometryDirectly(InCells(layout, {{{0.6, 6.3}, {2.9, 6.1}, {1.7, 8.6}}}).release());
    WriteArea(dir / "holed.gpkg", "GPKG", {holed.get()});
    WriteArea(dir / "parts.gpkg", "GPKG", {a.get(), b.get(), &more});
    OGRMultiPolygon all;
    for (const OGRGeometry* part : {a.get(), b.get(), more.getGeometryRef(0), more.getGeometryRef(1)})
      all.addGeometry(part);
    const std::unique_ptr<OGRGeometry> parts(all.UnionCascaded());

    for (const auto& [file, area] : {std::pair{"holed.gpkg", static_cast<const OGRGeometry*>(holed.get())},
                                     std::pair{"parts.gpkg", static_cast<const OGRGeometry*>(parts.get())}}) {
      for (const ClipMode mode : kModes) {
        SCOPED_TRACE(std::string(file) + " mode " + std::to_string(static_cast<int>(mode)) + " angle " +
                     std::to_string(static_cast<int>(block.turn.wholeDegrees)));
        const auto filter = Open(dir / file, block, mode);
        ASSERT_NE(filter, nullptr);
        const Cells kept = Kept(*filter, layout);
        EXPECT_EQ(kept, ByGeos(*area, layout, mode));
        EXPECT_FALSE(kept.empty());
      }
    }
  }
}

TEST(ClipArea, AnAreaAlongTheGridLinesKeepsTheCellsItCovers) {
  const BlockLayout layout(BlockSpec{500000, 5800000, 60, 36, 5, 4, 30});
  // An L along the grid points, rounded to doubles off the turned lines.
  auto* ring = new OGRLinearRing;
  for (const auto& [i, j] : {std::pair{2, 1}, {6, 1}, {6, 4}, {4, 4}, {4, 7}, {2, 7}, {2, 1}}) {
    long double x, y;
    layout.GridPoint(i, j, x, y);
    ring->addPoint(static_cast<double>(x), static_cast<double>(y));
  }
  OGRPolygon l;
  l.addRingDirectly(ring);
  TempDir dir;
  WriteArea(dir / "l.gpkg", "GPKG", {&l});
  Cells covered;
  for (std::int64_t r = 1; r < 7; ++r)
    for (std::int64_t c = 2; c < (r < 4 ? 6 : 4); ++c) covered.insert({c, r});
  for (const ClipMode mode : kModes) {
    const auto filter = Open(dir / "l.gpkg", layout.block(), mode);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(Kept(*filter, layout), covered) << static_cast<int>(mode);
  }
}

TEST(ClipArea, AreasInAnotherCrsAreBroughtIntoTheBlocksAndOnlyOneCrsIsRefused) {
  const CellBlock block = BlockSpec{500000, 5800000, 60, 36, 5, 4, 30};
  const BlockLayout layout(block);
  TempDir dir;
  const auto area = InCells(layout, {{{-1.3, -0.6}, {9.7, 1.2}, {12.9, 8.4}, {2.2, 10.3}}});
  OGRSpatialReference utm, wgs84;
  utm.importFromEPSG(25833);
  wgs84.importFromEPSG(4326);
  utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const std::unique_ptr<OGRGeometry> lonLat(area->clone());
  lonLat->assignSpatialReference(&utm);
  ASSERT_EQ(lonLat->transformTo(&wgs84), OGRERR_NONE);
  WriteArea(dir / "utm.gpkg", "GPKG", {area.get()}, &utm);
  WriteArea(dir / "lonlat.geojson", "GeoJSON", {lonLat.get()});  // GeoJSON: WGS 84 without saying so
  WriteArea(dir / "none.gpkg", "GPKG", {area.get()});

  const Cells expected = ByGeos(*area, layout, ClipMode::kTouches);
  for (const char* file : {"utm.gpkg", "lonlat.geojson"}) {
    const auto filter = Open(dir / file, block, ClipMode::kTouches, "EPSG:25833");
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(Kept(*filter, layout), expected) << file;
  }
  const auto kindOf = [&](const char* file, const char* srs) {
    const ClipArea opened = OpenClipArea({dir / file, "", ClipMode::kTouches}, block, srs);
    const auto* refusal = std::get_if<ClipRefusal>(&opened);
    return refusal != nullptr ? refusal->kind : ClipRefusal::Kind::kUnavailable;
  };
  EXPECT_EQ(kindOf("utm.gpkg", ""), ClipRefusal::Kind::kAreaCrsOnly);
  EXPECT_EQ(kindOf("lonlat.geojson", ""), ClipRefusal::Kind::kAreaCrsOnly);
  EXPECT_EQ(kindOf("none.gpkg", "EPSG:25833"), ClipRefusal::Kind::kBlockCrsOnly);
  EXPECT_EQ(kindOf("none.gpkg", "EPSG:99999999"), ClipRefusal::Kind::kCrs);
}

TEST(ClipArea, RefusesWhatHoldsNoAreaOverTheBlock) {
  const CellBlock block = BlockSpec{0, 0, 50, 50, 5, 5, 0};
  TempDir dir;
  const OGRPoint point(20, 20);
  OGRLineString line;
  line.addPoint(0, 0);
  line.addPoint(30, 30);
  const auto far = InCells(BlockLayout(block), {{{20, 20}, {30, 20}, {30, 30}}});
  const auto near = InCells(BlockLayout(block), {{{2, 2}, {4, 2}, {4, 4}}});
  WriteArea(dir / "points.gpkg", "GPKG", {&point, &line});
  WriteArea(dir / "far.gpkg", "GPKG", {far.get()});
  WriteArea(dir / "two.gpkg", "GPKG", {near.get()}, nullptr, "near");
  testing::WriteFile(dir / "text.txt", "not an area\n");
  using K = ClipRefusal::Kind;
  const std::pair<std::string, K> cases[] = {
      {dir / "missing.gpkg", K::kUnreadable}, {dir / "text.txt", K::kUnreadable},
      {"/vsicurl/http://example.org/a.geojson", K::kUnreadable}, {dir / "points.gpkg", K::kNoPolygons},
      {dir / "far.gpkg", K::kOutside}};
  for (const auto& [path, kind] : cases) {
    const ClipArea opened = OpenClipArea({path, "", ClipMode::kTouches}, block, "");
    const auto* refusal = std::get_if<ClipRefusal>(&opened);
    ASSERT_NE(refusal, nullptr) << path;
    EXPECT_EQ(refusal->kind, kind) << refusal->reason;
  }
  const ClipArea noLayer = OpenClipArea({dir / "two.gpkg", "far", ClipMode::kTouches}, block, "");
  ASSERT_TRUE(std::holds_alternative<ClipRefusal>(noLayer));
  EXPECT_EQ(std::get<ClipRefusal>(noLayer).reason, dir / "two.gpkg" + " has no layer \"far\" (its layers: near)");
  EXPECT_NE(Open(dir / "two.gpkg", block, ClipMode::kTouches, "", "near"), nullptr);
}


// Progress that cancels at its `at`-th step.
struct CancelAt : Progress {
  explicit CancelAt(int at) : at(at) {}
  bool Step(std::uint64_t, std::uint64_t) override { return ++steps < at; }
  int at, steps = 0;
};

TEST(ClippedSave, AnAreaOverTheWholeBlockWritesTheWholeBlocksBytes) {
  CellBlock block = BlockSpec{389200, 5819400, 100, 50, 10, 10, 12};
  block.labels.firstColumn = 7;  // renumbered labels keep their numbers too
  const BlockLayout layout(block);
  TempDir dir;
  const auto over = InCells(layout, {{{-0.5, -0.5}, {10.5, -0.5}, {10.5, 5.5}, {-0.5, 5.5}}});
  WriteArea(dir / "over.gpkg", "GPKG", {over.get()});
  for (const ClipMode mode : kModes) {
    const auto filter = Open(dir / "over.gpkg", block, mode);
    ASSERT_NE(filter, nullptr);
    for (const char* name : {"b.dxf", "b.cht"}) {
      SaveOptions whole;
      whole.dxfExtents = std::string(name) == "b.dxf";
      SaveOptions clipped = whole;
      clipped.clip = filter.get();
      const std::string wholePath = dir / (std::string("whole_") + name);
      ASSERT_EQ(SaveBlockTo(wholePath, block, nullptr, whole).kind, SaveOutcome::Kind::kSaved);
      ASSERT_EQ(SaveBlockTo(dir / name, block, nullptr, clipped).kind, SaveOutcome::Kind::kSaved);
      EXPECT_EQ(testing::ReadFile(dir / name), testing::ReadFile(wholePath)) << name;
    }
    EXPECT_EQ(testing::ReadFile(dir / "b.rws"), testing::ReadFile(dir / "whole_b.rws"));
  }
}

// The cells of a GeoPackage: label, column, row, label_x, label_y,
// label_angle and the polygon's text; the count of its grid lines.
std::vector<std::string> CellsOf(const std::string& path, std::uint64_t* lines = nullptr) {
  const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  std::vector<std::string> cells;
  if (dataset == nullptr) return cells;
  for (const auto& feature : *dataset->GetLayerByName("cells")) {
    std::string cell;
    for (const char* field : {"label", "column", "row", "label_x", "label_y", "label_angle"})
      cell += std::string(feature->GetFieldAsString(field)) + " ";  // one buffer for every call
    cells.push_back(cell + feature->GetGeometryRef()->exportToWkt());
  }
  if (lines != nullptr) *lines = static_cast<std::uint64_t>(dataset->GetLayerByName("grid_lines")->GetFeatureCount());
  return cells;
}

// The points of a GeoPackage's layer cell_centres: label, column, row and
// the point's text.
std::vector<std::string> CentresOf(const std::string& path) {
  const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  std::vector<std::string> centres;
  OGRLayer* layer = dataset != nullptr ? dataset->GetLayerByName("cell_centres") : nullptr;
  if (layer == nullptr) return centres;
  for (const auto& feature : *layer) {
    std::string centre;
    for (const char* field : {"label", "column", "row"}) centre += std::string(feature->GetFieldAsString(field)) + " ";
    centres.push_back(centre + feature->GetGeometryRef()->exportToWkt());
  }
  return centres;
}

// SQLite's answer to a query of a GeoPackage, through GDAL.
std::string Sql(const std::string& path, const char* sql) {
  const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  OGRLayer* result = dataset != nullptr ? dataset->ExecuteSQL(sql, nullptr, nullptr) : nullptr;
  std::string text;
  if (result == nullptr) return text;
  for (const auto& feature : *result) text += feature->GetFieldAsString(0);
  dataset->ReleaseResultSet(result);
  return text;
}

TEST(ClippedSave, TheKeptCellsWithTheirNumbersAndNothingLeftOnCancel) {
  const CellBlock block = BlockSpec{500000, 5800000, 60, 36, 5, 4, 30};
  const BlockLayout layout(block);
  TempDir dir;
  const auto holed = InCells(layout, {{{-1.3, -0.6}, {9.7, 1.2}, {12.9, 8.4}, {2.2, 10.3}},
                                      {{3.3, 3.1}, {7.6, 2.7}, {6.1, 6.4}}});
  WriteArea(dir / "holed.gpkg", "GPKG", {holed.get()});
  const auto filter = Open(dir / "holed.gpkg", block, ClipMode::kInside);
  ASSERT_NE(filter, nullptr);
  const Cells kept = Kept(*filter, layout);
  ClippedWalk::Counts counts;
  ASSERT_TRUE(ClippedWalk(layout, *filter).Count(counts));
  ASSERT_EQ(counts.cells, kept.size());
  SaveOptions options;
  options.clip = filter.get();

  // The centres' layer is a GeoPackage's only.
  SaveOptions centres = options;
  centres.cellCentres = true;
  const SaveOutcome refused = SaveBlockTo(dir / "b.geojson", block, nullptr, centres);
  EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused);
  EXPECT_NE(refused.reason.find("Only a GeoPackage"), std::string::npos) << refused.reason;
  EXPECT_FALSE(testing::Exists(dir / "b.geojson"));

  // DXF: the kept cells' numbers row by row, the joined edges.
  ASSERT_EQ(SaveBlockTo(dir / "b.dxf", block, nullptr, options).kind, SaveOutcome::Kind::kSaved);
  std::vector<std::pair<std::int64_t, std::int64_t>> rowByRow(kept.begin(), kept.end());
  std::sort(rowByRow.begin(), rowByRow.end(),
            [](auto a, auto b) { return std::pair(a.second, a.first) < std::pair(b.second, b.first); });
  std::vector<std::string> labels, texts;
  for (const auto& [c, r] : rowByRow) labels.push_back(std::to_string(c + 1) + "-" + std::to_string(r + 1));
  const std::vector<std::string> dxf = testing::CrLfLines(testing::ReadFile(dir / "b.dxf"));
  std::uint64_t lineEntities = 0;
  for (std::size_t k = 0; k + 1 < dxf.size(); k += 2) {
    if (dxf[k] == " 1 ") texts.push_back(dxf[k + 1]);
    lineEntities += dxf[k] == " 0 " && dxf[k + 1] == "LINE";
  }
  EXPECT_EQ(texts, labels);
  EXPECT_EQ(lineEntities, counts.lines);

  // A GeoPackage: the whole block's features of the kept cells, the DXF's
  // lines, the whole block's centres of the kept cells (written in bulk
  // there, feature by feature here) with a sound index.
  SaveOptions wholeCentres;
  wholeCentres.cellCentres = true;
  ASSERT_EQ(SaveBlockTo(dir / "whole.gpkg", block, nullptr, wholeCentres).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(SaveBlockTo(dir / "part.gpkg", block, nullptr, centres).kind, SaveOutcome::Kind::kSaved);
  std::uint64_t lines = 0;
  const std::vector<std::string> all = CellsOf(dir / "whole.gpkg"), clipped = CellsOf(dir / "part.gpkg", &lines);
  const std::vector<std::string> allCentres = CentresOf(dir / "whole.gpkg");
  ASSERT_EQ(allCentres.size(), all.size());
  std::vector<std::string> expected, expectedCentres;
  for (const auto& [c, r] : rowByRow) {
    expected.push_back(all[static_cast<std::size_t>(r * layout.columnCount() + c)]);
    expectedCentres.push_back(allCentres[static_cast<std::size_t>(r * layout.columnCount() + c)]);
  }
  EXPECT_EQ(clipped, expected);
  EXPECT_EQ(lines, counts.lines);
  EXPECT_EQ(CentresOf(dir / "part.gpkg"), expectedCentres);
  {
    const GDALDatasetUniquePtr whole(GDALDataset::Open((dir / "whole.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_NE(whole, nullptr);
    OGRLayer* cells = whole->GetLayerByName("cells");
    for (const auto& point : *whole->GetLayerByName("cell_centres")) {
      const OGRFeatureUniquePtr cell(cells->GetNextFeature());
      OGRPoint centroid;
      ASSERT_EQ(cell->GetGeometryRef()->Centroid(&centroid), OGRERR_NONE);
      const OGRPoint* centre = point->GetGeometryRef()->toPoint();
      EXPECT_NEAR(centre->getX(), centroid.getX(), 1e-6);
      EXPECT_NEAR(centre->getY(), centroid.getY(), 1e-6);
      EXPECT_EQ(point->GetFieldAsInteger("column"), cell->GetFieldAsInteger("column"));
    }
  }
  EXPECT_EQ(Sql(dir / "part.gpkg", "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(Sql(dir / "part.gpkg", "SELECT rtreecheck('rtree_cell_centres_geom')"), "ok");
  EXPECT_EQ(Sql(dir / "part.gpkg", "SELECT count(*) FROM rtree_cell_centres_geom"), std::to_string(kept.size()));

  // A cancel at any step leaves nothing.
  for (const char* name : {"c.dxf", "c.cht", "c.gpkg"}) {
    CancelAt cancel(3);
    EXPECT_EQ(SaveBlockTo(dir / name, block, &cancel, std::string(name) == "c.gpkg" ? centres : options).kind,
              SaveOutcome::Kind::kCancelled)
        << name;
    EXPECT_FALSE(testing::Exists(dir / name)) << name;
  }
  EXPECT_TRUE(testing::Leftovers(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo
