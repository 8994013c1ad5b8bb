// A build without GDAL: no GIS formats, a plain answer, nothing written.

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

}  // namespace
}  // namespace tavimo
