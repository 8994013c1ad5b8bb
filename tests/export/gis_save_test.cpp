// A GIS dataset saved like every other file: its set of files replaced
// together, the old set kept on failure, nothing left behind.

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Block;
using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const BlockSpec kBlock = Block(10, 10, 50, 50, 5, 5, 30);

TEST(GisSave, AShapefileSetIsReplacedWhole) {
  TempDir dir;
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock, nullptr, {"EPSG:25833"}).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"cells.cpg", "cells.dbf", "cells.prj", "cells.shp", "cells.shx"}));
  // Without a CRS the new set has no .prj: the old one must not stay and
  // lend the new cells its CRS.
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"cells.cpg", "cells.dbf", "cells.shp", "cells.shx"}));
  EXPECT_EQ(FilesOfSave(dir / "cells.shp").size(), 5u);
}

TEST(GisSave, FailuresAndRefusalsKeepTheOldFiles) {
  TempDir dir;
  WriteFile(dir / "old.gpkg", "old");
  ASSERT_EQ(mkdir((dir / "b.shx").c_str(), 0755), 0);  // a folder where a file of the set belongs
  WriteFile(dir / "b.shp", "old shp");
  const SaveOutcome failed = SaveBlockTo(dir / "b.shp", kBlock);
  EXPECT_EQ(failed.kind, SaveOutcome::Kind::kFailed);
  EXPECT_EQ(failed.path, dir / "b.shx");
  EXPECT_EQ(ReadFile(dir / "b.shp"), "old shp");

  const SaveOutcome refused = SaveBlockTo(dir / "old.gpkg", Block(10, 10, 0, 50, 5, 5, 0));
  EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused);
  EXPECT_EQ(NoticeFor(refused)->caption, "Save refused");
  EXPECT_EQ(SaveBlockTo(dir / "old.gpkg", kBlock, nullptr, {"no such system"}).kind, SaveOutcome::Kind::kRefused);
  EXPECT_EQ(ReadFile(dir / "old.gpkg"), "old");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"b.shp", "b.shx", "old.gpkg"}));
}

// SQLite's own file layer takes no path longer than 512 bytes. GDAL makes a
// Shapefile's names in 2048: longer, they landed in the working folder.
TEST(GisSave, FoldersOfLongPaths) {
  TempDir dir, working;
  std::string folder = dir.path();
  const auto deeper = [&](std::size_t size) {
    while (folder.size() < size) {
      folder += "/" + std::string(100, 'd');
      ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    }
  };
  deeper(600);
  const SaveOutcome saved = SaveBlockTo(folder + "/b.gpkg", kBlock);
  EXPECT_EQ(saved.kind, SaveOutcome::Kind::kSaved) << saved.reason;
  EXPECT_EQ(ReadFile(folder + "/b.gpkg").substr(0, 16), std::string("SQLite format 3", 16));
  EXPECT_EQ(Names(folder), std::vector<std::string>{"b.gpkg"});

  deeper(2100);
  const std::string before = std::filesystem::current_path();
  std::filesystem::current_path(working.path());
  const SaveOutcome refused = SaveBlockTo(folder + "/b.shp", kBlock);
  std::filesystem::current_path(before);
  EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused);
  EXPECT_NE(refused.reason.find("too long"), std::string::npos) << refused.reason;
  EXPECT_TRUE(Names(folder).empty());
  EXPECT_TRUE(Names(working.path()).empty());
}

}  // namespace
}  // namespace tavimo
