// The output file: exact bytes through the buffer, nothing visible before
// the commit, nothing left behind without it.

#include "output/text_output_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Leftovers;
using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

bool Commit(TextOutputFile& file) {
  AtomicFile* const files[] = {&file.file()};
  return CommitFiles(files) == nullptr;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(TextOutputFile, BytesComeOutExactlyAcrossTheBuffer) {
  TempDir dir;
  std::string expected = "7 0\r\n 62 \r\n-.125 x\r\n";
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "big.txt"));
  file.WriteText("7 0");
  file.EndLine();
  file.WriteNumber(62, 7);
  file.EndLine();
  file.WriteNumber(-0.125L, 15);
  file.WriteText("x");
  file.EndLine();
  for (int i = 0; i < 200000; ++i) {
    // Pieces of uneven length so that they straddle the buffer's end.
    const std::string piece = std::to_string(i * 7919) + std::string(static_cast<std::size_t>(i % 13), '.');
    file.WriteText(piece);
    file.EndLine();
    expected += piece + "\r\n";
  }
  TextBuffer chunk;  // a chunk larger than the direct-write size, appended
  chunk.WriteText(std::string(700 << 10, 'z'));
  file.Append(chunk);
  expected += std::string(700 << 10, 'z');
  EXPECT_TRUE(chunk.text().empty());
  file.Reserve(expected.size() * 2);  // trimmed again at Close
  ASSERT_TRUE(file.Close());
  ASSERT_TRUE(Commit(file));
  EXPECT_TRUE(ReadFile(dir / "big.txt") == expected);
  EXPECT_EQ(file.bytesWritten(), expected.size());
}

TEST(TextOutputFile, AChunkThatOverflowsFailsTheFile) {
  TempDir dir;
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  TextBuffer chunk;
  chunk.WriteText(std::string(TextBuffer::kCapacity + 1, 'x'));
  EXPECT_EQ(chunk.error(), ENOBUFS);
  file.Append(chunk);
  EXPECT_EQ(file.error(), ENOBUFS);
  EXPECT_TRUE(chunk.ok());  // ready for the next chunk
  EXPECT_FALSE(file.Close());
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(TextOutputFile, TargetChangesOnlyAtCommitAndGetsItsOldMode) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  ASSERT_EQ(chmod((dir / "out.txt").c_str(), 0640), 0);
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
  file.WriteText(std::string(2 << 20, 'n'));
  // A hidden temporary beside the target, readable by its owner only until
  // the commit: nobody else may read the new text through it.
  const auto temporaries = Leftovers(dir.path());
  ASSERT_EQ(temporaries.size(), 1u);
  EXPECT_EQ(temporaries[0][0], '.');
  EXPECT_EQ(ModeOf(dir / temporaries[0]), 0600u);
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  ASSERT_TRUE(Commit(file));
  EXPECT_EQ(ReadFile(dir / "out.txt").size(), 2u << 20);
  EXPECT_EQ(ModeOf(dir / "out.txt"), 0640u);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(TextOutputFile, FailuresLeaveNothingAndTheFirstErrorStays) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  {
    TextOutputFile file;  // never committed
    ASSERT_TRUE(file.OpenForOutput(dir / "out.txt"));
    file.WriteText("new");
    ASSERT_TRUE(file.Close());
  }
  TextOutputFile file;
  EXPECT_FALSE(file.OpenForOutput(dir / "no/such/folder.txt"));
  EXPECT_EQ(file.error(), ENOENT);
  file.WriteText("lost");
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(file.error(), ENOENT);
  EXPECT_FALSE(file.OpenForOutput(dir.path()));
  EXPECT_EQ(file.error(), EISDIR);
  // Read-only by its mode bits: refused even for root.
  ASSERT_EQ(chmod((dir / "out.txt").c_str(), 0444), 0);
  EXPECT_FALSE(file.OpenForOutput(dir / "out.txt"));
  EXPECT_EQ(file.error(), EACCES);
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(TextOutputFile, TemporaryNamesDoNotGrowWithTheTarget) {
  // A target whose path is just below PATH_MAX: a temporary named after
  // the whole path would not fit.
  TempDir dir;
  std::string folder = dir.path();
  const std::string part(200, 'd');
  while (folder.size() + part.size() + 1 < 4096 - 8) {
    folder += "/" + part;
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  }
  const std::string path = folder + "/" + std::string(4096 - 2 - folder.size(), 'f');
  ASSERT_LT(path.size(), 4096u);
  TextOutputFile file;
  ASSERT_TRUE(file.OpenForOutput(path)) << file.error();
  file.WriteText("x");
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(Commit(file));
}

TEST(TextOutputFile, TemporariesGoAtExit) {
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) {
    static TextOutputFile file;  // never destroyed: only the exit clean-up can remove it
    if (!file.OpenForOutput(dir / "out.txt")) _exit(2);
    file.WriteText("new");
    std::exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(TextOutputFile, ErrorTextIgnoresTheLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  const std::string text = platform::ErrorText(EACCES);
  std::setlocale(LC_ALL, old.c_str());
  EXPECT_EQ(text, "Permission denied");
}

}  // namespace
}  // namespace tavimo
