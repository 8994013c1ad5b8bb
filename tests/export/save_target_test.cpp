// What a save writes, from the chosen path: the format and every file.

#include "export/save_target.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavimo {
namespace {

using Files = std::vector<std::string>;

SaveFormat FormatOf(std::string_view path) { return TargetOfPath(path).format; }

TEST(SaveTarget, FinalExtensionOfTheNameWithoutRegardToCase) {
  EXPECT_EQ(FormatOf("/work/block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/work/block.DXF"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/work/block.Dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/work/Plans.old/block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/work/block.new.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("block.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/a/b.gpkg.dxf"), SaveFormat::kDxf);
  EXPECT_EQ(FormatOf("/work/block.cht"), SaveFormat::kCht);
  EXPECT_EQ(FormatOf("/work/block.CHT"), SaveFormat::kCht);
  EXPECT_EQ(FormatOf("/work/a.cht.d/block.cht"), SaveFormat::kCht);
  EXPECT_EQ(FormatOf("/work/block.GPKG"), SaveFormat::kGeoPackage);
  EXPECT_EQ(FormatOf("/work/block.geojson"), SaveFormat::kGeoJson);
  EXPECT_EQ(FormatOf("/work/block.Shp"), SaveFormat::kShapefile);
  EXPECT_EQ(FormatOf("/x.dxf/c.SHP"), SaveFormat::kShapefile);

  EXPECT_EQ(FormatOf("/work/block.txt"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/block"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/Plans.dxf/block"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/block.dxf.bak"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/block.dxfx"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/blockdxf"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf("/work/block.dxf/"), SaveFormat::kNone);
  EXPECT_EQ(FormatOf(""), SaveFormat::kNone);
}

TEST(SaveTarget, RwsCompanionReplacesOnlyTheFinalExtensionKeepingCase) {
  EXPECT_EQ(TargetOfPath("/work/block.cht").files, (Files{"/work/block.cht", "/work/block.rws"}));
  EXPECT_EQ(TargetOfPath("/work/block.CHT").files[1], "/work/block.RWS");
  EXPECT_EQ(TargetOfPath("/work/block.Cht").files[1], "/work/block.Rws");
  EXPECT_EQ(TargetOfPath("/work/block.cHt").files[1], "/work/block.rWs");
  EXPECT_EQ(TargetOfPath("/work/x.cht/block.cht").files[1], "/work/x.cht/block.rws");
  EXPECT_EQ(TargetOfPath("/work/block.cht.cht").files[1], "/work/block.cht.rws");
  EXPECT_EQ(TargetOfPath("block.cht").files[1], "block.rws");
}

// What GDAL writes, then what readers take from beside an older set.
TEST(SaveTarget, ShapefileCompanionsFollowTheCaseLetterByLetter) {
  EXPECT_EQ(TargetOfPath("/d.e/x.shp").files,
            (Files{"/d.e/x.shp", "/d.e/x.shx", "/d.e/x.dbf", "/d.e/x.prj", "/d.e/x.cpg", "/d.e/x.qix", "/d.e/x.sbn",
                   "/d.e/x.sbx", "/d.e/x.idm", "/d.e/x.ind", "/d.e/x.qpj", "/d.e/x.qmd", "/d.e/x.shp.xml",
                   "/d.e/x.shp.aux.xml"}));
  EXPECT_EQ(TargetOfPath("x.sHp").files,
            (Files{"x.sHp", "x.sHx", "x.dBf", "x.pRj", "x.cPg", "x.qIx", "x.sBn", "x.sBx", "x.iDm", "x.iNd", "x.qPj",
                   "x.qMd", "x.sHp.xml", "x.sHp.aux.xml"}));
}

TEST(SaveTarget, OtherFormatsWriteTheChosenFileAlone) {
  for (const char* path : {"/d/x.DXF", "/d/x.geojson", "/d/x.txt", "/d/x"})
    EXPECT_EQ(TargetOfPath(path).files, Files{path}) << path;
  // A GeoPackage alone too, but for an older database's SQLite files.
  EXPECT_EQ(TargetOfPath("/d/x.GPKG").files,
            (Files{"/d/x.GPKG", "/d/x.GPKG-wal", "/d/x.GPKG-shm", "/d/x.GPKG-journal"}));
}

TEST(SaveTarget, AGivenFormatNamesTheFilesOfAnyPath) {
  // A temporary's name: the format decided, the companions named alike.
  const SaveTarget temporary = TargetOfFormat(SaveFormat::kShapefile, "/d/.tavimo-ab12.shp");
  EXPECT_EQ(temporary.format, SaveFormat::kShapefile);
  EXPECT_EQ(temporary.files, TargetOfPath("/d/.tavimo-ab12.shp").files);
  EXPECT_EQ(temporary.files[4], "/d/.tavimo-ab12.cpg");
  EXPECT_EQ(TargetOfFormat(SaveFormat::kGeoJson, "/d/x.tmp").files, Files{"/d/x.tmp"});
  EXPECT_TRUE(IsGisFormat(SaveFormat::kGeoPackage) && IsGisFormat(SaveFormat::kGeoJson) &&
              IsGisFormat(SaveFormat::kShapefile));
  EXPECT_FALSE(IsGisFormat(SaveFormat::kDxf) || IsGisFormat(SaveFormat::kCht) || IsGisFormat(SaveFormat::kNone));
}

}  // namespace
}  // namespace tavimo
