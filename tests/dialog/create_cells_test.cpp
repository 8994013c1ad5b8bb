// The requests behind the buttons: the fields read and corrected, the
// block drawn or saved, one request at a time.

#include "dialog/create_cells.h"

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/dialog/fake_host.h"
#include "tests/support/test_support.h"

namespace tavimo::dialog {
namespace {

using testing::FakeHost;
using Events = std::vector<std::string>;

// Fields read once, each corrected total written back right after its
// notice, the corrected block saved.
TEST(CreateCells, CorrectionsFollowTheirNoticesAndTheBlockHasThem) {
  tavimo::testing::TempDir dir;
  FakeHost dialog;
  dialog.fields[Field::kWidthTotal] = "52";
  dialog.fields[Field::kHeightTotal] = "48";
  dialog.answers = {dir / "block.dxf"};
  CreateCells(dialog, "save");
  EXPECT_EQ(dialog.events, (Events{"notice Size changed...", "set Width Total= 55", "notice Size changed...",
                                   "set Height Total= 50", "progress Saving cells...", "ask"}));
  ASSERT_EQ(SaveBlockTo(dir / "expected.dxf", tavimo::testing::Block(10, 10, 55, 50, 5, 5, 0)).kind,
            SaveOutcome::Kind::kSaved);
  EXPECT_EQ(tavimo::testing::ReadFile(dir / "block.dxf"), tavimo::testing::ReadFile(dir / "expected.dxf"));
  EXPECT_FALSE(dialog.RequestRunning());
}

// Only "screen" and "save" take the block anywhere; another word still
// reads and corrects the fields.
TEST(CreateCells, TargetWordsAreExact) {
  FakeHost dialog;
  dialog.fields[Field::kWidthTotal] = "52";
  CreateCells(dialog, "Save");
  EXPECT_EQ(dialog.events, (Events{"notice Size changed...", "set Width Total= 55"}));
  for (const char* word : {"SCREEN", "save ", ""}) CreateCells(dialog, word);
  EXPECT_EQ(dialog.events.size(), 2u);
  EXPECT_EQ(dialog.BluePixels(), 0u);

  CreateCells(dialog, "screen");
  EXPECT_EQ(dialog.events.back(), "enable saving");
  EXPECT_GT(dialog.BluePixels(), 0u);
}

TEST(CreateCells, OnlyAFinishedPreviewEnablesSaving) {
  FakeHost drawn;
  CreateCells(drawn, CellTarget::kScreen);
  EXPECT_EQ(drawn.events, (Events{"progress Drawing cells...", "enable saving"}));

  // Enough lines for the drawing to ask its progress whether to go on.
  FakeHost cancelled;
  cancelled.fields[Field::kWidthTotal] = "1000";
  cancelled.fields[Field::kHeightTotal] = "1000";
  cancelled.fields[Field::kWidthCell] = "1";
  cancelled.fields[Field::kHeightCell] = "1";
  cancelled.cancelWork = true;
  CreateCells(cancelled, CellTarget::kScreen);
  EXPECT_EQ(cancelled.events, (Events{"progress Drawing cells..."}));

  FakeHost refused;
  refused.fields[Field::kAngle] = "91";
  CreateCells(refused, CellTarget::kScreen);
  EXPECT_EQ(refused.events, (Events{"notice Wrong angle"}));
}

// A request while one runs (a click while its message box is open) only
// points at the running one.
TEST(CreateCells, OneRequestAtATime) {
  FakeHost dialog;
  dialog.fields[Field::kWidthTotal] = "52";
  bool runningMeanwhile = false;
  dialog.duringNotice = [&] {
    runningMeanwhile = dialog.RequestRunning();
    CreateCells(dialog, CellTarget::kSave);
  };
  CreateCells(dialog, CellTarget::kScreen);
  EXPECT_TRUE(runningMeanwhile);
  EXPECT_EQ(dialog.events, (Events{"notice Size changed...", "point", "set Width Total= 55",
                                   "progress Drawing cells...", "enable saving"}));
  EXPECT_FALSE(dialog.RequestRunning());
}

TEST(CreateCells, NothingOnceTheProgramIsEnding) {
  FakeHost ended;
  ended.ending = true;
  ended.fields[Field::kWidthTotal] = "52";
  CreateCells(ended, CellTarget::kSave);
  EXPECT_TRUE(ended.events.empty());

  // Ended while a notice was open: the rest of the request is dropped.
  FakeHost ending;
  ending.fields[Field::kWidthTotal] = "52";
  ending.duringNotice = [&] { ending.ending = true; };
  CreateCells(ending, CellTarget::kSave);
  EXPECT_EQ(ending.events, (Events{"notice Size changed...", "set Width Total= 55"}));
  EXPECT_FALSE(ending.RequestRunning());
}

}  // namespace
}  // namespace tavimo::dialog
