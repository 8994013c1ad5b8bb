// The GIS file names, the same with GDAL and without it.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/gis_writer.h"

namespace tavimo {
namespace {

TEST(GisPaths, FormatByTheFinalExtensionInAnyCase) {
  EXPECT_EQ(GisFormatOfPath("/a/b.gpkg"), GisFormat::kGeoPackage);
  EXPECT_EQ(GisFormatOfPath("b.GeoJSON"), GisFormat::kGeoJson);
  EXPECT_EQ(GisFormatOfPath("/x.dxf/c.SHP"), GisFormat::kShapefile);
  EXPECT_EQ(GisFormatOfPath("/.tavimo-ab12cd.shp"), GisFormat::kShapefile);
  for (const char* other : {"/a.shp/b", "/a/b.gpkg.dxf", "shp", "b.json", "b.shp ", "/a/b."})
    EXPECT_EQ(GisFormatOfPath(other), std::nullopt) << other;
}

TEST(GisPaths, ShapefileCompanionsFollowTheCaseLetterByLetter) {
  using Files = std::vector<std::string>;
  EXPECT_EQ(GisDatasetFiles("/d.e/x.shp", GisFormat::kShapefile),
            (Files{"/d.e/x.shp", "/d.e/x.shx", "/d.e/x.dbf", "/d.e/x.prj", "/d.e/x.cpg"}));
  EXPECT_EQ(GisDatasetFiles("X.SHP", GisFormat::kShapefile), (Files{"X.SHP", "X.SHX", "X.DBF", "X.PRJ", "X.CPG"}));
  EXPECT_EQ(GisDatasetFiles("x.sHp", GisFormat::kShapefile), (Files{"x.sHp", "x.sHx", "x.dBf", "x.pRj", "x.cPg"}));
  EXPECT_EQ(GisDatasetFiles("/d/x.GPKG", GisFormat::kGeoPackage), Files{"/d/x.GPKG"});
  EXPECT_EQ(GisDatasetFiles("/d/x.geojson", GisFormat::kGeoJson), Files{"/d/x.geojson"});
}

}  // namespace
}  // namespace tavimo
