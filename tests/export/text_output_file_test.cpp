// The output file: exact bytes through the buffer, nothing visible before
// the commit, nothing left behind without it.

#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/export/test_support.h"
#include "textout/text_output_file.h"

namespace tavimo {
namespace {

using testing::Exists;
using testing::Leftovers;
using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(TextOutputFile, LinesItemsAndCrLf) {
  TempDir dir;
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  file.WriteText("7 0");
  file.EndLine();
  file.WriteNumber(62, 7);
  file.EndLine();
  file.WriteNumber(-0.125L, 15);
  file.WriteText("x");
  file.EndLine();
  file.WriteNumber(0.7f, 7);
  file.EndLine();
  ASSERT_TRUE(file.Close());
  ASSERT_TRUE(file.Commit());
  const std::string expected = "7 0\r\n 62 \r\n-.125 x\r\n .7 \r\n";
  EXPECT_EQ(ReadFile(dir / "out.txt"), expected);
  EXPECT_EQ(file.bytesWritten(), expected.size());
}

TEST(TextOutputFile, ManyMegabytesComeOutExactly) {
  TempDir dir;
  std::string expected;
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "big.txt"));
  for (int i = 0; i < 200000; ++i) {
    // Pieces of uneven length so that they straddle the buffer's end.
    const std::string piece = std::to_string(i * 7919) + std::string(static_cast<std::size_t>(i % 13), '.');
    file.WriteText(piece);
    file.EndLine();
    expected += piece + "\r\n";
  }
  file.WriteText(std::string(3 << 20, 'z'));  // one text larger than the buffer
  expected += std::string(3 << 20, 'z');
  ASSERT_TRUE(file.Close());
  ASSERT_TRUE(file.Commit());
  EXPECT_TRUE(ReadFile(dir / "big.txt") == expected);
  EXPECT_EQ(file.bytesWritten(), expected.size());
}

TEST(TextOutputFile, TargetChangesOnlyAtCommit) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  file.WriteText(std::string(5 << 20, 'n'));
  // The new text goes to a hidden temporary beside the target.
  const auto temporaries = Leftovers(dir.path());
  ASSERT_EQ(temporaries.size(), 1u);
  EXPECT_EQ(temporaries[0][0], '.');
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadFile(dir / "out.txt").size(), 5u << 20);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(TextOutputFile, UncommittedFileLeavesNothing) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  {
    TextOutputFile file;
    ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
    file.WriteText("new");
    ASSERT_TRUE(file.Close());
  }
  {
    TextOutputFile file;
    ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
    file.WriteText("new");
    file.Discard();
    EXPECT_FALSE(file.Commit());
  }
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(TextOutputFile, FailedOpenMakesWritesDoNothing) {
  TempDir dir;
  TextOutputFile file;
  EXPECT_FALSE(file.OpenForOutput(dir / "no/such/folder.txt"));
  EXPECT_EQ(file.error(), ENOENT);
  file.WriteText("lost");
  file.EndLine();
  EXPECT_FALSE(file.Close());
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(file.error(), ENOENT);  // the first error stays
  EXPECT_EQ(file.bytesWritten(), 0u);
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(TextOutputFile, RefusesFoldersAndReadOnlyFilesEvenForRoot) {
  TempDir dir;
  TextOutputFile file;
  EXPECT_FALSE(file.OpenForOutput(dir.path()));
  EXPECT_EQ(file.error(), EISDIR);
  WriteFile(dir / "ro.txt", "old");
  ASSERT_EQ(chmod((dir / "ro.txt").c_str(), 0444), 0);
  EXPECT_FALSE(file.OpenForOutput(dir / "ro.txt"));
  EXPECT_EQ(file.error(), EACCES);
  // A new open starts afresh.
  ASSERT_TRUE(file.OpenForOutput(dir / "ok.txt"));
  EXPECT_TRUE(file.ok());
}

TEST(TextOutputFile, PairCommitPutsTheFirstBackWhenTheSecondFails) {
  for (bool firstExisted : {true, false}) {
    SCOPED_TRACE(firstExisted ? "first file existed" : "first file is new");
    TempDir dir;
    if (firstExisted) WriteFile(dir / "a.rws", "old a");
    TextOutputFile first, second;
    ASSERT_TRUE(first.OpenForOutput(dir / "a.rws"));
    ASSERT_TRUE(second.OpenForOutput(dir / "b.cht"));
    first.WriteText("new a");
    second.WriteText("new b");
    ASSERT_TRUE(first.Close());
    ASSERT_TRUE(second.Close());
    // Something the second rename cannot replace appears meanwhile.
    ASSERT_EQ(mkdir((dir / "b.cht").c_str(), 0755), 0);
    WriteFile(dir / "b.cht/inside", "x");

    EXPECT_EQ(CommitBoth(first, second), &second);
    EXPECT_NE(second.error(), 0);
    if (firstExisted) {
      EXPECT_EQ(ReadFile(dir / "a.rws"), "old a");
    } else {
      EXPECT_FALSE(Exists(dir / "a.rws"));
    }
    EXPECT_TRUE(Leftovers(dir.path()).empty());
  }
}

TEST(TextOutputFile, PairCommitReplacesBoth) {
  TempDir dir;
  WriteFile(dir / "a.rws", "old a");
  TextOutputFile first, second;
  ASSERT_TRUE(first.OpenForOutput(dir / "a.rws"));
  ASSERT_TRUE(second.OpenForOutput(dir / "a.cht"));
  first.WriteText("new a");
  second.WriteText("new b");
  ASSERT_TRUE(first.Close());
  ASSERT_TRUE(second.Close());
  EXPECT_EQ(CommitBoth(first, second), nullptr);
  EXPECT_EQ(ReadFile(dir / "a.rws"), "new a");
  EXPECT_EQ(ReadFile(dir / "a.cht"), "new b");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.cht", "a.rws"}));
}

TEST(TextOutputFile, WritesAfterCloseDoNothing) {
  // The temporary stays open until Commit, for its sync: nothing may reach
  // it after Close, neither through the buffer nor past it.
  TempDir dir;
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  file.WriteText("kept");
  ASSERT_TRUE(file.Close());
  file.WriteText("late");
  file.WriteText(std::string(200 << 10, 'x'));
  file.EndLine();
  EXPECT_EQ(file.Room(16), nullptr);
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadFile(dir / "out.txt"), "kept");
}

TEST(TextOutputFile, TextFromMemoryJoinsInOrder) {
  TempDir dir;
  TextOutputFile file, memory;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  memory.OpenInMemory();
  file.WriteText("head");
  memory.WriteNumber(-0.125L, 15);
  memory.EndLine();
  EXPECT_EQ(memory.text(), "-.125 \r\n");
  file.Append(memory);
  EXPECT_EQ(memory.text(), "");
  file.Append(memory);  // taken once only
  file.WriteText("mid");
  // Long texts go to the file without the buffer, after what it holds.
  const std::string big(300 << 10, 'b');
  memory.WriteText(big);
  file.Append(memory);
  file.WriteText("tail");
  ASSERT_TRUE(file.Close());
  ASSERT_TRUE(file.Commit());
  EXPECT_TRUE(ReadFile(dir / "out.txt") == "head-.125 \r\nmid" + big + "tail");
}

TEST(TextOutputFile, MemoryThatOverflowsFailsTheFile) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  TextOutputFile file, memory;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  memory.OpenInMemory();
  memory.WriteText(std::string(1 << 20, 'm'));
  EXPECT_TRUE(memory.ok());  // exactly full
  memory.WriteText("one too many");
  EXPECT_EQ(memory.error(), ENOBUFS);
  file.WriteText("new");
  file.Append(memory);  // no part of it gets in: the file fails instead
  EXPECT_EQ(file.error(), ENOBUFS);
  EXPECT_FALSE(file.Close());
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  EXPECT_TRUE(Leftovers(dir.path()).empty());
  memory.OpenInMemory();  // starts afresh
  EXPECT_TRUE(memory.ok());
  EXPECT_EQ(memory.text(), "");
}

TEST(TextOutputFile, ErrorTextIgnoresTheLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const std::string text = ErrorText(EACCES);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(text, "Permission denied");
  EXPECT_EQ(ErrorText(ENOSPC), "No space left on device");
}

}  // namespace
}  // namespace tavimo
