// Which format a path asks for, and the names of a save's other files.

#include "export/file_naming.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tavimo
