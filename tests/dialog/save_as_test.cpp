// The save command of the dialogs: the Save As dialog's rules, what the
// command asks it, and what it tells.

#include "dialog/save_as.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "export/gis_save.h"
#include "tests/dialog/fake_host.h"
#include "tests/support/test_support.h"

namespace tavimo::dialog {
namespace {

using tavimo::testing::Names;
using tavimo::testing::TempDir;
using testing::FakeHost;

BlockSpec DefaultBlock() { return tavimo::testing::Block(10, 10, 50, 50, 5, 5, 0); }

TEST(SaveAsDialog, TheFilterAndTheChosenTypesExtension) {
  const std::string filter = SaveFilter();
  EXPECT_EQ(filter, GisFormatsAvailable()
                        ? "Autocad DXF|*.dxf|Orvel Format|*.cht|GeoPackage|*.gpkg|GeoJSON|*.geojson|Shapefile|*.shp|"
                          "All Files|*.*"
                        : "Autocad DXF|*.dxf|Orvel Format|*.cht|GeoJSON|*.geojson|All Files|*.*");

  // Several patterns, a wildcard, every file, no such entry: the default.
  const std::string odd = "Autocad DXF|*.dxf|Orvel Format|*.cht|Two|*.a;*.b|Odd|*.d?|All Files|*.*|Dangling";
  ASSERT_EQ(FilterEntries(odd).size(), 5u);
  const std::string extensions[] = {"dxf", "cht", "def", "def", "def", "def"};
  for (std::size_t entry = 0; entry < std::size(extensions); ++entry)
    EXPECT_EQ(ExtensionForEntry(odd, entry, "def"), extensions[entry]) << entry;
  EXPECT_EQ(NameWithExtension("block", "cht"), "block.cht");
  EXPECT_EQ(NameWithExtension("block.", "cht"), "block.");
}

// One question names every file the save replaces that exists.
TEST(SaveAsDialog, ReplaceQuestionNamesTheExistingFiles) {
  std::vector<std::string> present;
  const auto exists = [&](const std::string& file) {
    return std::find(present.begin(), present.end(), file) != present.end();
  };
  const auto nameOf = [](const std::string& file) { return file.substr(file.rfind('/') + 1); };

  EXPECT_FALSE(ReplaceQuestionFor("/plans/block.cht", exists, nameOf));
  present = {"/plans/block.rws"};
  EXPECT_EQ(ReplaceQuestionFor("/plans/block.cht", exists, nameOf),
            "block.rws already exists.\r\nDo you want to replace it?");
  present = {"/plans/block.cht", "/plans/block.rws"};
  EXPECT_EQ(ReplaceQuestionFor("/plans/block.cht", exists, nameOf),
            "block.cht and block.rws already exist.\r\nDo you want to replace them?");
  // A DXF file has no companion.
  EXPECT_FALSE(ReplaceQuestionFor("/plans/block.dxf", exists, nameOf));
  // A file of no known type is refused, never first offered for replacing.
  present = {"/plans/block.txt"};
  EXPECT_FALSE(ReplaceQuestionFor("/plans/block.txt", exists, nameOf));
}

TEST(SaveCells, AsksForTheNameAndSavesSilently) {
  TempDir dir;
  FakeHost dialog;
  dialog.answers = {dir / "block.cht"};
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(dialog.asks.size(), 1u);
  EXPECT_EQ(dialog.asks[0].initialName, "*.dxf");
  EXPECT_EQ(dialog.asks[0].filter, SaveFilter());
  EXPECT_EQ(dialog.asks[0].defaultExtension, "dxf");
  EXPECT_TRUE(dialog.notices.empty());
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"block.cht", "block.rws"}));
}

// The Options window's coordinate system goes with a GIS save.
TEST(SaveCells, AGisFileGetsTheOptionsCoordinateSystem) {
  TempDir dir;
  FakeHost dialog;
  dialog.srs = "EPSG:25833";
  dialog.answers = {dir / "block.geojson", dir / "block.dxf"};
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  EXPECT_NE(tavimo::testing::ReadFile(dir / "block.geojson").find("\"urn:ogc:def:crs:EPSG::25833\""),
            std::string::npos);
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kSaved);  // a DXF file has none
  EXPECT_TRUE(dialog.notices.empty());
}

TEST(SaveCells, CancelLeavesEverythingUntouched) {
  TempDir dir;
  FakeHost dialog;
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kCancelled);
  EXPECT_TRUE(dialog.notices.empty());
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(SaveCells, WhatGoesWrongIsTold) {
  TempDir dir;
  FakeHost dialog;
  dialog.answers = {dir / "block.txt", dir / "missing/block.dxf"};
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kUnknownType);
  EXPECT_EQ(SaveBlock(dialog, DefaultBlock()).kind, SaveOutcome::Kind::kFailed);
  ASSERT_EQ(dialog.notices.size(), 2u);
  EXPECT_EQ(dialog.notices[0], *NoticeFor({SaveOutcome::Kind::kUnknownType, {}, 0, {}}));
  EXPECT_EQ(dialog.notices[1].caption, "Save failed");
  EXPECT_TRUE(Names(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo::dialog
