// Saves that cannot be written: every old file stays byte for byte, no
// temporary is left, and the message names the file and the reason.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Exists;
using testing::Leftovers;
using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

BlockSpec Block(int cells) { return testing::Block(10, 10, cells, cells, 1, 1, 30); }

// The failure names the file and the reason, for the user.
void ExpectFailure(const SaveOutcome& outcome, const std::string& path, const std::string& reason) {
  EXPECT_EQ(outcome.kind, SaveOutcome::Kind::kFailed);
  const auto notice = NoticeFor(outcome);
  ASSERT_TRUE(notice);
  EXPECT_EQ(*notice, (Notice{NoticeId::kSaveFailed, NoticeIcon::kError, "Save failed",
                             "Could not write " + path + ": " + reason}));
}

// A folder holding an old DXF file and an old CHT pair.
struct OldFiles {
  explicit OldFiles(const std::string& folder) : folder(folder) {
    WriteFile(folder + "/block.dxf", "old drawing\r\n");
    WriteFile(folder + "/block.cht", "old lines\r\n");
    WriteFile(folder + "/block.rws", "old cells\r\n");
  }
  void ExpectUnchanged() const {
    EXPECT_EQ(ReadFile(folder + "/block.dxf"), "old drawing\r\n");
    EXPECT_EQ(ReadFile(folder + "/block.cht"), "old lines\r\n");
    EXPECT_EQ(ReadFile(folder + "/block.rws"), "old cells\r\n");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"block.cht", "block.dxf", "block.rws"}));
  }
  std::string folder;
};

TEST(SaveFailure, MissingFolder) {
  TempDir dir;
  for (const char* name : {"block.dxf", "block.cht"}) {
    const std::string path = dir / "missing" + "/" + name;
    ExpectFailure(SaveBlockTo(path, Block(5)), path, "No such file or directory");
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(SaveFailure, ReadOnlyFolder) {
  TempDir dir;
  const std::string folder = dir / "plans";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const OldFiles old(folder);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  for (const char* name : {"block.dxf", "block.cht", "new.dxf", "new.cht"}) {
    SCOPED_TRACE(name);
    ExpectFailure(SaveBlockTo(folder + "/" + name, Block(5)), folder + "/" + name, "Permission denied");
  }
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  old.ExpectUnchanged();
}

TEST(SaveFailure, ReadOnlyFileInTheWay) {
  TempDir dir;
  const OldFiles old(dir.path());
  ASSERT_EQ(chmod((dir / "block.dxf").c_str(), 0444), 0);
  ExpectFailure(SaveBlockTo(dir / "block.dxf", Block(5)), dir / "block.dxf", "Permission denied");
  old.ExpectUnchanged();
}

TEST(SaveFailure, ReadOnlyRwsFileKeepsTheChtPairAsItWas) {
  TempDir dir;
  const OldFiles old(dir.path());
  ASSERT_EQ(chmod((dir / "block.rws").c_str(), 0444), 0);
  ExpectFailure(SaveBlockTo(dir / "block.cht", Block(5)), dir / "block.rws", "Permission denied");
  old.ExpectUnchanged();
}

TEST(SaveFailure, FolderWhereTheRwsFileBelongs) {
  TempDir dir;
  WriteFile(dir / "block.cht", "old lines\r\n");
  ASSERT_EQ(mkdir((dir / "block.rws").c_str(), 0755), 0);
  ExpectFailure(SaveBlockTo(dir / "block.cht", Block(5)), dir / "block.rws", "Is a directory");
  EXPECT_EQ(ReadFile(dir / "block.cht"), "old lines\r\n");
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

// Runs a save in a child process whose files may not grow beyond `limit`
// bytes (a full disk, as far as the save can tell). The child exits 0 when
// the save failed with the expected message about `failingName`.
void SaveWithFileSizeLimit(const std::string& folder, const std::string& name, rlim_t limit,
                           const std::string& failingName) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
    rlimit limits{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &limits) != 0) _exit(10);
    const SaveOutcome outcome = SaveBlockTo(folder + "/" + name, Block(300));
    if (outcome.kind != SaveOutcome::Kind::kFailed) _exit(11);
    if (outcome.path != folder + "/" + failingName || outcome.error != EFBIG) _exit(12);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SaveFailure, DiskFullDuringTheDxfFile) {
  TempDir dir;
  const OldFiles old(dir.path());
  SaveWithFileSizeLimit(dir.path(), "block.dxf", 64 * 1024, "block.dxf");
  old.ExpectUnchanged();
}

TEST(SaveFailure, DiskFullDuringTheChtFile) {
  TempDir dir;
  const OldFiles old(dir.path());
  SaveWithFileSizeLimit(dir.path(), "block.cht", 8 * 1024, "block.cht");
  old.ExpectUnchanged();
}

TEST(SaveFailure, DiskFullDuringTheRwsFile) {
  // The CHT file of this block (about 43 kB) fits, its RWS file (4 MB) does not.
  TempDir dir;
  const OldFiles old(dir.path());
  SaveWithFileSizeLimit(dir.path(), "block.cht", 256 * 1024, "block.rws");
  old.ExpectUnchanged();
}

TEST(SaveFailure, DiskFullLeavesNoNewFile) {
  TempDir dir;
  SaveWithFileSizeLimit(dir.path(), "fresh.cht", 256 * 1024, "fresh.rws");
  EXPECT_TRUE(Names(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo
