// A build without GDAL: GeoJSON only, its system as EPSG:<code>; for the
// other GIS formats a plain answer, nothing written.

#include <algorithm>

#include <gtest/gtest.h>

#include "export/gis_writer.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

TEST(GisWithoutGdal, SaysSoAndWritesNothing) {
  testing::TempDir dir;
  const std::string message = "This build of Tavimo cannot write GIS formats (built without GDAL)";
  EXPECT_FALSE(GisAvailable());
  EXPECT_EQ(CheckSrs("EPSG:25833"), message);
  const SaveOutcome outcome =
      WriteGisDataset(TargetOfPath(dir / "block.gpkg"), testing::Block(0, 0, 20, 10, 10, 5, 30), "", nullptr);
  EXPECT_EQ(outcome.kind, SaveOutcome::Kind::kRefused);
  EXPECT_EQ(outcome.reason, message);
  EXPECT_TRUE(testing::Names(dir.path()).empty());

  // Nor does it read a clip area: the exporter's --clip says so.
  testing::WriteFile(dir / "area.geojson", "{}");
  const ClipArea area =
      OpenClipArea({dir / "area.geojson", "", ClipMode::kTouches}, testing::Block(0, 0, 20, 10, 10, 5, 30), "");
  ASSERT_TRUE(std::holds_alternative<ClipRefusal>(area));
  EXPECT_EQ(std::get<ClipRefusal>(area).kind, ClipRefusal::Kind::kUnavailable);
  EXPECT_EQ(std::get<ClipRefusal>(area).reason, "This build of Tavimo cannot read clip areas (built without GDAL)");
}

TEST(GisWithoutGdal, WritesGeoJsonNamingItsSystemByEpsgCode) {
  testing::TempDir dir;
  const BlockSpec block = testing::Block(389200, 5819400, 20, 10, 10, 5, 30);
  EXPECT_EQ(WriteGisDataset(TargetOfPath(dir / "b.geojson"), block, "epsg:025833", nullptr).kind,
            SaveOutcome::Kind::kSaved);
  const std::string text = testing::ReadFile(dir / "b.geojson");
  EXPECT_TRUE(text.starts_with("{\n\"type\": \"FeatureCollection\",\n\"name\": \"cells\",\n\"crs\": { \"type\": "
                              "\"name\", \"properties\": { \"name\": \"urn:ogc:def:crs:EPSG::25833\" } },\n"
                              "\"features\": [\n{ \"type\": \"Feature\", \"properties\": { \"column\": 1, \"row\": 1, "))
      << text.substr(0, 200);
  EXPECT_TRUE(text.ends_with(" ] ] } }\n]\n}\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7 + 4);  // the frame's lines, a line per cell

  // What is not "EPSG:<code>" cannot be looked up here.
  for (const char* srs : {"+proj=utm +zone=33 +ellps=GRS80", "EPSG:", "EPSG:0", "EPSG:25833 ", "EPSG:-1", "ESRI:102100"}) {
    const SaveOutcome refused = WriteGisDataset(TargetOfPath(dir / "c.geojson"), block, srs, nullptr);
    EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused) << srs;
    EXPECT_NE(refused.reason.find("EPSG:<code>"), std::string::npos) << refused.reason;
  }
  EXPECT_EQ(GeoJsonEpsgCode("EPSG:4326").code, "4326");
  EXPECT_EQ(testing::Names(dir.path()), std::vector<std::string>{"b.geojson"});
}

}  // namespace
}  // namespace tavimo
