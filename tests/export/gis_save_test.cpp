// A GIS dataset saved like every other file: its set of files replaced
// together, the old set kept on failure, nothing left behind.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

// The features of the layer "cells" as GDAL reads them; -1 when it cannot.
std::int64_t CellsRead(const std::string& path) {
  GDALAllRegister();
  std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  OGRLayer* layer = dataset == nullptr ? nullptr : dataset->GetLayerByName("cells");
  return layer == nullptr ? -1 : layer->GetFeatureCount();
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(GisSave, AShapefileSetIsReplacedWhole) {
  TempDir dir;
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock, nullptr, {"EPSG:25833"}).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"cells.cpg", "cells.dbf", "cells.prj", "cells.shp", "cells.shx"}));
  // Without a CRS the new set has no .prj: the old one must not stay and
  // lend the new cells its CRS.
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"cells.cpg", "cells.dbf", "cells.shp", "cells.shx"}));
  EXPECT_EQ(FilesOfSave(dir / "cells.shp"), TargetOfPath(dir / "cells.shp").files);
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

// What readers take from beside a dataset goes with the old set: indexes,
// metadata, SQLite's journal and WAL, and old files under another case of
// the set's names. A link among them goes itself, never its file.
TEST(GisSave, EverythingOfTheOldSetGoesWithIt) {
  TempDir dir;
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", Block(0, 0, 20, 20, 5, 5, 0), nullptr, {"EPSG:25833"}).kind,
            SaveOutcome::Kind::kSaved);
  for (const char* name : {"cells.qix", "cells.sbn", "cells.sbx", "cells.idm", "cells.ind", "cells.qpj", "cells.qmd",
                           "cells.shp.xml", "cells.shp.aux.xml"})
    WriteFile(dir / name, "old");
  // The .prj: a link to a CRS file that other datasets share.
  ASSERT_EQ(std::rename((dir / "cells.prj").c_str(), (dir / "shared.prj").c_str()), 0);
  const std::string shared = ReadFile(dir / "shared.prj");
  for (const char* srs : {"", "EPSG:4326"}) {
    ASSERT_EQ(symlink("shared.prj", (dir / "cells.prj").c_str()), 0);
    ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock, nullptr, {srs}).kind, SaveOutcome::Kind::kSaved) << srs;
    EXPECT_EQ(ReadFile(dir / "shared.prj"), shared) << srs;
    EXPECT_FALSE(IsLink(dir / "cells.prj")) << srs;
    std::remove((dir / "cells.prj").c_str());
  }
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"cells.cpg", "cells.dbf", "cells.shp", "cells.shx", "shared.prj"}));

  // GDAL would read a new "cells.SHP" with the old "cells.shx" and ".dbf".
  const std::vector<std::string> files = FilesOfSave(dir / "cells.SHP");
  EXPECT_NE(std::find(files.begin(), files.end(), dir / "cells.dbf"), files.end());
  ASSERT_EQ(SaveBlockTo(dir / "cells.SHP", Block(0, 0, 20, 20, 1, 1, 0)).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"cells.CPG", "cells.DBF", "cells.SHP", "cells.SHX", "shared.prj"}));
  EXPECT_EQ(CellsRead(dir / "cells.SHP"), 400);

  // SQLite names its files after the file a link points to.
  ASSERT_EQ(mkdir((dir / "data").c_str(), 0755), 0);
  ASSERT_EQ(SaveBlockTo(dir / "data/cells.gpkg", kBlock).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(symlink("data/cells.gpkg", (dir / "linked.gpkg").c_str()), 0);
  for (const char* path : {"data/cells.gpkg", "linked.gpkg"}) {
    for (const char* old : {"data/cells.gpkg-wal", "data/cells.gpkg-shm", "data/cells.gpkg-journal"})
      WriteFile(dir / old, "old");
    ASSERT_EQ(SaveBlockTo(dir / path, Block(0, 0, 20, 20, 1, 1, 0)).kind, SaveOutcome::Kind::kSaved) << path;
    EXPECT_EQ(Names(dir / "data"), std::vector<std::string>{"cells.gpkg"}) << path;
    EXPECT_EQ(CellsRead(dir / path), 400) << path;
  }
  EXPECT_TRUE(IsLink(dir / "linked.gpkg"));
}

// Holds `path` open through Python's sqlite3 the way `hold` says, until
// destroyed.
class SqliteConnection {
 public:
  SqliteConnection(const TempDir& dir, const std::string& path, const std::string& hold) {
    WriteFile(dir / "hold.py", "import sqlite3, sys\nc = sqlite3.connect(sys.argv[1])\n" + hold +
                                   "\nc.execute('select count(*) from sqlite_master').fetchall()\n"
                                   "open(sys.argv[2], 'w').close()\nsys.stdin.read()\n");
    const std::string ready = dir / "ready";
    std::remove(ready.c_str());
    python_ = popen(("python3 '" + dir / "hold.py' '" + path + "' '" + ready + "'").c_str(), "w");
    for (int i = 0; i < 500 && !testing::Exists(ready); ++i) usleep(20'000);
    EXPECT_TRUE(testing::Exists(ready)) << "python3 could not open " << path;
  }
  ~SqliteConnection() {
    if (python_ != nullptr) pclose(python_);  // its standard input ends: it closes the database
  }

 private:
  std::FILE* python_ = nullptr;
};

// A GeoPackage that another program has open is not replaced: in WAL mode
// the program would go on writing the old database's -wal and -shm, which
// the new one would read as its own.
TEST(GisSave, AGeoPackageOpenInAnotherProgramIsNotReplaced) {
  TempDir files;
  const std::string path = files / "cells.gpkg";
  ASSERT_EQ(SaveBlockTo(path, kBlock).kind, SaveOutcome::Kind::kSaved);
  // In WAL mode, and with a rollback journal within a read transaction.
  for (const char* hold : {"c.execute('pragma journal_mode=wal')", "c.isolation_level = None\nc.execute('begin')"}) {
    TempDir python;
    std::string old;
    {
      const SqliteConnection connection(python, path, hold);
      old = ReadFile(path);
      const SaveOutcome refused = SaveBlockTo(path, Block(0, 0, 20, 20, 1, 1, 0));
      EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused) << hold;
      EXPECT_EQ(refused.reason, path + " is open in another program; close it there and save again");
      EXPECT_EQ(ReadFile(path), old);
    }
    EXPECT_EQ(SaveBlockTo(path, Block(0, 0, 20, 20, 1, 1, 0)).kind, SaveOutcome::Kind::kSaved) << hold;
    EXPECT_EQ(Names(files.path()), std::vector<std::string>{"cells.gpkg"});
    EXPECT_EQ(CellsRead(path), 400);
  }
}

// Notes the modes of GDAL's files while it writes them (before the commit
// gives them their final modes, with a step of 1 of 1).
struct ModeWatch : Progress {
  explicit ModeWatch(const TempDir& dir) : dir(dir) {}
  bool Step(std::uint64_t, std::uint64_t total) override {
    for (const std::string& name : total > 1 ? Names(dir.path()) : std::vector<std::string>{}) {
      struct stat st {};
      if (name.starts_with(".tavimo-") && !name.ends_with(".tmp") && stat((dir / name).c_str(), &st) == 0)
        modes.push_back(st.st_mode & 07777), names.push_back(name);
    }
    return true;
  }
  const TempDir& dir;
  std::vector<unsigned> modes;
  std::vector<std::string> names;
};

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// GDAL's files are owner-only while written, then take the mode of the
// file they replace, or a new file's (the umask's), as every other save's.
TEST(GisSave, FilesGetTheirModesAsEveryOtherSaves) {
  TempDir dir;
  ASSERT_EQ(SaveBlockTo(dir / "cells.gpkg", kBlock).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(SaveBlockTo(dir / "cells.shp", kBlock).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(chmod((dir / "cells.gpkg").c_str(), 0600), 0);
  ASSERT_EQ(chmod((dir / "cells.dbf").c_str(), 0604), 0);
  ASSERT_EQ(chmod((dir / "cells.shp").c_str(), 0660), 0);
  const mode_t umaskBefore = umask(027);
  ModeWatch watch(dir);
  const BlockSpec many = Block(0, 0, 100, 100, 1, 1, 0);  // more cells than a chunk: steps while written
  EXPECT_EQ(SaveBlockTo(dir / "cells.gpkg", many, &watch).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(SaveBlockTo(dir / "cells.shp", many, &watch, {"EPSG:25833"}).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(umask(umaskBefore), 027u);  // as the save found it
  ASSERT_FALSE(watch.modes.empty());
  for (std::size_t i = 0; i < watch.modes.size(); ++i) EXPECT_EQ(watch.modes[i], 0600u) << watch.names[i];
  EXPECT_EQ(ModeOf(dir / "cells.gpkg"), 0600u);
  EXPECT_EQ(ModeOf(dir / "cells.dbf"), 0604u);
  EXPECT_EQ(ModeOf(dir / "cells.shp"), 0660u);
  EXPECT_EQ(ModeOf(dir / "cells.prj"), 0640u);  // new
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
