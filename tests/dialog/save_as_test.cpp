// The save command of the dialogs: what it asks the Save As dialog, and
// what it tells.

#include "dialog/save_as.h"

#include <gtest/gtest.h>

#include "export/gis_save.h"
#include "tests/dialog/fake_host.h"
#include "tests/support/test_support.h"

namespace tavimo::dialog {
namespace {

using tavimo::testing::Names;
using tavimo::testing::TempDir;
using testing::FakeHost;

BlockSpec DefaultBlock() { return tavimo::testing::Block(10, 10, 50, 50, 5, 5, 0); }

TEST(SaveCells, FilterListsTheGisTypesWhereThisBuildWritesThem) {
  const std::string filter = SaveFilter();
  EXPECT_EQ(filter.rfind("Autocad DXF|*.dxf|Orvel Format|*.cht|", 0), 0u);
  EXPECT_EQ(filter.find("|GeoPackage|*.gpkg|GeoJSON|*.geojson|Shapefile|*.shp|") != std::string::npos,
            GisFormatsAvailable());
  EXPECT_TRUE(filter.ends_with("|All Files|*.*"));
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
