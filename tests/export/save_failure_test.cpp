// Saves that cannot be written: every old file stays byte for byte, no
// temporary is left, and the message names the file and the reason.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/export/test_support.h"

namespace tavimo {
namespace {

using testing::Exists;
using testing::Leftovers;
using testing::Names;
using testing::ReadFile;
using testing::RecordingMessages;
using testing::TempDir;
using testing::WriteFile;

BlockSpec Block(int cells) {
  BlockSpec spec;
  spec.startX = 10;
  spec.startY = 10;
  spec.widthTotal = cells;
  spec.heightTotal = cells;
  spec.widthCell = 1;
  spec.heightCell = 1;
  spec.angle = 30;
  return spec;
}

void ExpectFailureMessage(const RecordingMessages& messages, const std::string& path, const std::string& reason) {
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, "Save failed");
  EXPECT_EQ(messages.messages[0].text, "Could not write " + path + ": " + reason);
  EXPECT_EQ(messages.messages[0].style, 0x10u);
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
    RecordingMessages messages;
    const std::string path = dir / "missing" + "/" + name;
    EXPECT_EQ(SaveBlockTo(messages, path, Block(5)), SaveResult::kFailed);
    ExpectFailureMessage(messages, path, "No such file or directory");
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
    RecordingMessages messages;
    EXPECT_EQ(SaveBlockTo(messages, folder + "/" + name, Block(5)), SaveResult::kFailed);
    ExpectFailureMessage(messages, folder + "/" + name, "Permission denied");
  }
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  old.ExpectUnchanged();
}

TEST(SaveFailure, ReadOnlyFileInTheWay) {
  TempDir dir;
  const OldFiles old(dir.path());
  ASSERT_EQ(chmod((dir / "block.dxf").c_str(), 0444), 0);
  RecordingMessages messages;
  EXPECT_EQ(SaveBlockTo(messages, dir / "block.dxf", Block(5)), SaveResult::kFailed);
  ExpectFailureMessage(messages, dir / "block.dxf", "Permission denied");
  old.ExpectUnchanged();
}

TEST(SaveFailure, ReadOnlyRwsFileKeepsTheChtPairAsItWas) {
  TempDir dir;
  const OldFiles old(dir.path());
  ASSERT_EQ(chmod((dir / "block.rws").c_str(), 0444), 0);
  RecordingMessages messages;
  EXPECT_EQ(SaveBlockTo(messages, dir / "block.cht", Block(5)), SaveResult::kFailed);
  ExpectFailureMessage(messages, dir / "block.rws", "Permission denied");
  old.ExpectUnchanged();
}

TEST(SaveFailure, FolderWhereTheRwsFileBelongs) {
  TempDir dir;
  WriteFile(dir / "block.cht", "old lines\r\n");
  ASSERT_EQ(mkdir((dir / "block.rws").c_str(), 0755), 0);
  RecordingMessages messages;
  EXPECT_EQ(SaveBlockTo(messages, dir / "block.cht", Block(5)), SaveResult::kFailed);
  ExpectFailureMessage(messages, dir / "block.rws", "Is a directory");
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
    RecordingMessages messages;
    if (SaveBlockTo(messages, folder + "/" + name, Block(300)) != SaveResult::kFailed) _exit(11);
    if (messages.messages.size() != 1) _exit(12);
    if (messages.messages[0].text != "Could not write " + folder + "/" + failingName + ": File too large") _exit(13);
    if (messages.messages[0].caption != "Save failed" || messages.messages[0].style != 0x10) _exit(14);
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
