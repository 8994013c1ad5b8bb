// Which format a path asks for, and the names of a save's other files.

#include "export/file_naming.h"
#include "export/gis_writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tavimo {
namespace {

TEST(SaveFormat, FinalExtensionOfTheNameWithoutRegardToCase) {
  EXPECT_EQ(FormatOfPath("/work/block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("/work/block.DXF"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("/work/block.Dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("/work/Plans.old/block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("/work/block.new.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOfPath("/work/block.cht"), SaveFormat::kCht);
  EXPECT_EQ(FormatOfPath("/work/block.CHT"), SaveFormat::kCht);
  EXPECT_EQ(FormatOfPath("/work/a.cht.d/block.cht"), SaveFormat::kCht);
  EXPECT_EQ(FormatOfPath("/work/block.GPKG"), SaveFormat::kGeoPackage);
  EXPECT_EQ(FormatOfPath("/work/block.geojson"), SaveFormat::kGeoJson);
  EXPECT_EQ(FormatOfPath("/work/block.Shp"), SaveFormat::kShapefile);

  EXPECT_EQ(FormatOfPath("/work/block.txt"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/block"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/Plans.dxf/block"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/block.dxf.bak"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/block.dxfx"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/blockdxf"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath("/work/block.dxf/"), SaveFormat::kNone);
  EXPECT_EQ(FormatOfPath(""), SaveFormat::kNone);
}

TEST(SaveFormat, RwsPathReplacesOnlyTheFinalExtensionKeepingCase) {
  EXPECT_EQ(RwsPathFor("/work/block.cht"), "/work/block.rws");
  EXPECT_EQ(RwsPathFor("/work/block.CHT"), "/work/block.RWS");
  EXPECT_EQ(RwsPathFor("/work/block.Cht"), "/work/block.Rws");
  EXPECT_EQ(RwsPathFor("/work/block.cHt"), "/work/block.rWs");
  EXPECT_EQ(RwsPathFor("/work/x.cht/block.cht"), "/work/x.cht/block.rws");
  EXPECT_EQ(RwsPathFor("/work/block.cht.cht"), "/work/block.cht.rws");
  EXPECT_EQ(RwsPathFor("block.cht"), "block.rws");
}

TEST(SaveFormat, ShapefileCompanionsFollowTheCaseLetterByLetter) {
  using Files = std::vector<std::string>;
  EXPECT_EQ(GisFormatOfPath("/x.dxf/c.SHP"), GisFormat::kShapefile);
  EXPECT_EQ(GisFormatOfPath("/a/b.gpkg.dxf"), std::nullopt);
  EXPECT_EQ(GisDatasetFiles("/d.e/x.shp", GisFormat::kShapefile),
            (Files{"/d.e/x.shp", "/d.e/x.shx", "/d.e/x.dbf", "/d.e/x.prj", "/d.e/x.cpg"}));
  EXPECT_EQ(GisDatasetFiles("x.sHp", GisFormat::kShapefile), (Files{"x.sHp", "x.sHx", "x.dBf", "x.pRj", "x.cPg"}));
  EXPECT_EQ(GisDatasetFiles("/d/x.GPKG", GisFormat::kGeoPackage), Files{"/d/x.GPKG"});
}

}  // namespace
}  // namespace tavimo
