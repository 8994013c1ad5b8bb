// The save: format by name, the RWS path, replacing files, cancel through
// progress.

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "export/dxf_writer.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Exists;
using testing::Leftovers;
using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

BlockSpec DefaultBlock() { return testing::Block(10, 10, 50, 50, 5, 5, 0); }
BlockSpec LargeBlock() { return testing::Block(10, 10, 300, 300, 1, 1, 30); }

TEST(SaveCommand, UnknownTypeCreatesNothingAndSaysSo) {
  for (const char* name : {"block.txt", "block", "block.CHTX", "Plans.dxf"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    std::string path = dir / name;
    if (std::string(name) == "Plans.dxf") {
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
      path += "/block";
    }
    const SaveOutcome outcome = SaveBlockTo(path, DefaultBlock());
    EXPECT_EQ(outcome.kind, SaveOutcome::Kind::kUnknownType);
    const std::optional<Notice> notice = NoticeFor(outcome);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->caption, "Unknown file type");
    EXPECT_EQ(notice->text.rfind("Please choose a file name ending in .dxf", 0), 0u);
    EXPECT_EQ(notice->icon, NoticeIcon::kWarning);
    EXPECT_FALSE(Exists(path));
  }
  // An existing file of an unknown type stays as it was.
  TempDir dir;
  WriteFile(dir / "notes.txt", "keep me");
  EXPECT_EQ(SaveBlockTo(dir / "notes.txt", DefaultBlock()).kind, SaveOutcome::Kind::kUnknownType);
  EXPECT_EQ(ReadFile(dir / "notes.txt"), "keep me");
}

TEST(SaveCommand, UpperCaseNamesSaveAndKeepTheirCase) {
  TempDir dir;
  EXPECT_EQ(SaveBlockTo(dir / "Block.CHT", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(SaveBlockTo(dir / "Block.Dxf", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Block.CHT", "Block.Dxf", "Block.RWS"}));
  EXPECT_EQ(ReadFile(dir / "Block.CHT").substr(0, 5), "7 0\r\n");
  EXPECT_EQ(ReadFile(dir / "Block.Dxf").substr(0, 5), " 0 \r\n");
}

TEST(SaveCommand, SavingTwiceReplacesWithTheSameBytes) {
  TempDir dir;
  WriteFile(dir / "block.dxf", std::string(100000, 'x'));  // longer than the new file
  ASSERT_EQ(SaveBlockTo(dir / "block.dxf", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  const std::string first = ReadFile(dir / "block.dxf");
  ASSERT_EQ(SaveBlockTo(dir / "block.dxf", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "block.dxf"), first);
  EXPECT_EQ(first.substr(first.size() - 5), "EOF\r\n");
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

TEST(SaveCommand, NewFilesFollowTheUmaskReplacedFilesKeepTheirMode) {
  TempDir dir;
  const mode_t old = umask(022);
  ASSERT_EQ(SaveBlockTo(dir / "new.cht", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  struct stat st {};
  ASSERT_EQ(stat((dir / "new.cht").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ASSERT_EQ(stat((dir / "new.rws").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  WriteFile(dir / "kept.dxf", "old");
  ASSERT_EQ(chmod((dir / "kept.dxf").c_str(), 0600), 0);
  ASSERT_EQ(SaveBlockTo(dir / "kept.dxf", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  ASSERT_EQ(stat((dir / "kept.dxf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  umask(old);
}

TEST(SaveCommand, SymbolicLinkStaysAndItsFileIsReplaced) {
  TempDir dir;
  WriteFile(dir / "real.dxf", "old");
  ASSERT_EQ(symlink("real.dxf", (dir / "link.dxf").c_str()), 0);
  ASSERT_EQ(SaveBlockTo(dir / "link.dxf", DefaultBlock()).kind, SaveOutcome::Kind::kSaved);
  struct stat st {};
  ASSERT_EQ(lstat((dir / "link.dxf").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real.dxf").substr(0, 5), " 0 \r\n");
}

TEST(SaveCommand, RelativePathsSaveInTheCurrentFolder) {
  TempDir dir;
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const SaveOutcome::Kind result = SaveBlockTo("here.cht", DefaultBlock()).kind;
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(result, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"here.cht", "here.rws"}));
}

TEST(SaveCommand, SameBytesUnderADecimalCommaLocale) {
  TempDir dir;
  BlockSpec spec = DefaultBlock();
  spec.startX = -2.5L;
  spec.angle = 330;
  ASSERT_EQ(SaveBlockTo(dir / "c.dxf", spec).kind, SaveOutcome::Kind::kSaved);
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const SaveOutcome::Kind result = SaveBlockTo(dir / "de.dxf", spec).kind;
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(result, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "de.dxf"), ReadFile(dir / "c.dxf"));
}

// Records the steps and cancels at the given call.
class CancellingProgress : public Progress {
 public:
  explicit CancellingProgress(int cancelAt) : cancelAt_(cancelAt) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    steps.push_back({done, total});
    return static_cast<int>(steps.size()) != cancelAt_;
  }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;

 private:
  int cancelAt_;
};

// The TEXT strings and their alignment groups, in the file's order.
std::vector<std::string> TextsOf(const std::string& dxf) {
  std::vector<std::string> lines, texts;
  std::size_t start = 0;
  for (std::size_t end; (end = dxf.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(dxf.substr(start, end - start));
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2)
    if (lines[i] == " 1 " || lines[i] == " 72 " || lines[i] == " 73 ") texts.push_back(lines[i + 1]);
  return texts;
}

TEST(SaveLabels, TemplatesCornersAndCentres) {
  TempDir dir;
  CellBlock block(testing::Block(0, 0, 20, 10, 10, 5, 0));
  ASSERT_EQ(SaveBlockTo(dir / "plain.dxf", block).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(TextsOf(ReadFile(dir / "plain.dxf")), (std::vector<std::string>{"1-1", "2-1", "1-2", "2-2"}));

  block.labels.labelTemplate = std::get<LabelTemplate>(LabelTemplate::Read("{col:A}{row:02}/{n}"));
  block.labels.corner = LabelCorner::kUpperLeft;
  block.labels.order = NumberOrder::kSerpentine;
  block.labels.atCentre = true;
  ASSERT_EQ(SaveBlockTo(dir / "letters.dxf", block).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(TextsOf(ReadFile(dir / "letters.dxf")),
            (std::vector<std::string>{"A02/4", " 1 ", " 2 ", "B02/3", " 1 ", " 2 ", "A01/1", " 1 ", " 2 ", "B01/2",
                                      " 1 ", " 2 "}));
  // The first label sits at the centre of its cell, and the grid is as before.
  EXPECT_NE(ReadFile(dir / "letters.dxf").find(" 10 \r\n 5\r\n 20 \r\n 2.5\r\n"), std::string::npos);

  // An RWS file's readers take column-row apart: other numbers, yes, another
  // template, no.
  const SaveOutcome refused = SaveBlockTo(dir / "letters.cht", block);
  EXPECT_EQ(refused.kind, SaveOutcome::Kind::kRefused);
  EXPECT_TRUE(Names(dir.path()) == (std::vector<std::string>{"letters.dxf", "plain.dxf"}));
  block.labels = LabelScheme();
  block.labels.firstColumn = 0;
  block.labels.corner = LabelCorner::kLowerRight;
  ASSERT_EQ(SaveBlockTo(dir / "renumbered.cht", block).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "renumbered.rws").substr(0, 30), " .1  .1  1-1\r\n 10.1  .1  0-1\r\n");
}

TEST(SaveLabels, AHeaderWithTheExtentsAndTheUnit) {
  TempDir dir;
  SaveOptions options;
  options.dxfExtents = true;
  options.dxfUnits = DxfUnitCode("m");
  ASSERT_EQ(SaveBlockTo(dir / "b.dxf", testing::Block(0, 0, 20, 10, 10, 5, 90), nullptr, options).kind,
            SaveOutcome::Kind::kSaved);
  const std::string dxf = ReadFile(dir / "b.dxf");
  // Turned 90 degrees clockwise: x from 0 to 10, y from -20 to about 0.
  EXPECT_EQ(dxf.rfind(" 0 \r\nSECTION\r\n 2 \r\nHEADER\r\n 9 \r\n$EXTMIN\r\n 10 \r\n", 0), 0u);
  EXPECT_NE(dxf.find("$EXTMAX\r\n 10 \r\n 10\r\n 20 \r\n"), std::string::npos);
  EXPECT_NE(dxf.find("$INSUNITS\r\n 70 \r\n 6 \r\n 0 \r\nENDSEC\r\n 0 \r\nSECTION\r\n 2 \r\nENTITIES"),
            std::string::npos);
}

TEST(SaveProgress, ReportsEveryItemUpToTheTotal) {
  TempDir dir;
  CancellingProgress progress(0);
  ASSERT_EQ(SaveBlockTo(dir / "big.dxf", LargeBlock(), &progress).kind, SaveOutcome::Kind::kSaved);
  const std::uint64_t total = 301 + 301 + 300 * 300;
  ASSERT_GE(progress.steps.size(), 3u);
  EXPECT_EQ(progress.steps.front(), std::make_pair(std::uint64_t{0}, total));
  EXPECT_EQ(progress.steps.back(), std::make_pair(total, total));
  for (std::size_t i = 1; i < progress.steps.size(); ++i) {
    EXPECT_LT(progress.steps[i - 1].first, progress.steps[i].first);
    EXPECT_EQ(progress.steps[i].second, total);
  }
}

TEST(SaveProgress, CancelLeavesNothingBehindAndOldFilesAsTheyWere) {
  for (const char* name : {"big.dxf", "big.cht"}) {
    for (int cancelAt : {1, 2, 10}) {
      SCOPED_TRACE(::testing::Message() << name << " cancelled at step " << cancelAt);
      TempDir dir;
      const std::string path = dir / name;
      // A CHT file's companion, and a file beside a DXF file.
      WriteFile(path, "old chosen file");
      WriteFile(dir / "big.rws", "old companion");
      CancellingProgress progress(cancelAt);
      EXPECT_EQ(SaveBlockTo(path, LargeBlock(), &progress).kind, SaveOutcome::Kind::kCancelled);
      EXPECT_EQ(ReadFile(path), "old chosen file");
      EXPECT_EQ(ReadFile(dir / "big.rws"), "old companion");
      EXPECT_EQ(Names(dir.path()).size(), 2u);  // nothing new, no temporary
    }
  }
}

TEST(SaveProgress, CancelAtTheLastStepKeepsTheOldFiles) {
  TempDir dir;
  CancellingProgress counting(0);
  ASSERT_EQ(SaveBlockTo(dir / "count.cht", LargeBlock(), &counting).kind, SaveOutcome::Kind::kSaved);

  WriteFile(dir / "big.cht", "old");
  CancellingProgress progress(static_cast<int>(counting.steps.size()));
  EXPECT_EQ(SaveBlockTo(dir / "big.cht", LargeBlock(), &progress).kind, SaveOutcome::Kind::kCancelled);
  EXPECT_EQ(ReadFile(dir / "big.cht"), "old");
  EXPECT_FALSE(Exists(dir / "big.rws"));
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

TEST(SaveProgress, CancelBeforeStartCreatesNothing) {
  TempDir dir;
  CancellingProgress progress(1);
  EXPECT_EQ(SaveBlockTo(dir / "block.cht", DefaultBlock(), &progress).kind, SaveOutcome::Kind::kCancelled);
  EXPECT_TRUE(Names(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo
