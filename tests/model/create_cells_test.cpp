#include "model/create_cells.h"

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <string>
#include <vector>

namespace tavimo {
namespace {

struct Message {
  std::string text;
  std::string caption;
  unsigned style;
  bool operator==(const Message&) const = default;
};

// Records everything CreateCells asks of the dialog.
class FakeDialog : public DialogPort {
 public:
  FakeDialog() {
    texts_ = {{IDC_STARTX, "10"},     {IDC_STARTY, "10"},     {IDC_WIDTHTOTAL, "50"}, {IDC_HEIGHTTOTAL, "50"},
              {IDC_WIDTHCELL, "5"},   {IDC_HEIGHTCELL, "5"},  {IDC_ANGLE, "0"}};
    checked_ = {{IDC_CLOCKWISE, true}, {IDC_COUNTERCLOCKWISE, false}};
  }
  std::string GetText(int id) override {
    reads.push_back(id);
    return texts_.at(id);
  }
  void SetText(int id, std::string_view text) override {
    writes.emplace_back(id, std::string(text));
    texts_[id] = text;
  }
  bool IsChecked(int id) override {
    reads.push_back(id);
    return checked_.at(id);
  }
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override {
    messages.push_back({std::string(text), std::string(caption), style});
  }

  void Set(int id, std::string text) { texts_[id] = std::move(text); }
  void Check(bool clockwise, bool counterClockwise) {
    checked_[IDC_CLOCKWISE] = clockwise;
    checked_[IDC_COUNTERCLOCKWISE] = counterClockwise;
  }
  const std::string& Text(int id) const { return texts_.at(id); }

  std::vector<int> reads;
  std::vector<std::pair<int, std::string>> writes;
  std::vector<Message> messages;

 private:
  std::map<int, std::string> texts_;
  std::map<int, bool> checked_;
};

struct Received {
  std::vector<BlockSpec> screen;
  std::vector<BlockSpec> save;
  CellTargets Targets() {
    return {[this](const BlockSpec& s) { screen.push_back(s); }, [this](const BlockSpec& s) { save.push_back(s); }};
  }
};

const Message kWidthMessage{std::string(kWidthChangedText), "Size changed...", 0x40};
const Message kHeightMessage{std::string(kHeightChangedText), "Size changed...", 0x40};
const Message kAngleMessage{"Please enter a value between 0 and 90 degrees", "Wrong angle", 0};

TEST(CreateCells, DefaultBlockPassesQuietly) {
  FakeDialog dialog;
  Received got;
  CreateCells(dialog, "screen", got.Targets());
  EXPECT_TRUE(dialog.messages.empty());
  EXPECT_TRUE(dialog.writes.empty());
  ASSERT_EQ(got.screen.size(), 1u);
  EXPECT_TRUE(got.save.empty());
  const BlockSpec& s = got.screen[0];
  EXPECT_EQ(s.startX, 10);
  EXPECT_EQ(s.startY, 10);
  EXPECT_EQ(s.widthTotal, 50);
  EXPECT_EQ(s.heightTotal, 50);
  EXPECT_EQ(s.widthCell, 5);
  EXPECT_EQ(s.heightCell, 5);
  EXPECT_EQ(s.angle, 0);
  // Fields first, in their order, then the two radio buttons.
  EXPECT_EQ(dialog.reads, (std::vector<int>{IDC_STARTX, IDC_STARTY, IDC_WIDTHTOTAL, IDC_HEIGHTTOTAL, IDC_WIDTHCELL,
                                            IDC_HEIGHTCELL, IDC_ANGLE, IDC_CLOCKWISE, IDC_COUNTERCLOCKWISE}));
}

TEST(CreateCells, TargetWordsAreExact) {
  for (const char* word : {"Screen", "SAVE", "save ", "", "print"}) {
    FakeDialog dialog;
    Received got;
    CreateCells(dialog, word, got.Targets());
    EXPECT_TRUE(got.screen.empty() && got.save.empty()) << word;
  }
  FakeDialog dialog;
  Received got;
  CreateCells(dialog, "save", got.Targets());
  EXPECT_EQ(got.save.size(), 1u);
  EXPECT_TRUE(got.screen.empty());
}

TEST(CreateCells, TotalsAreRaisedToWholeCells) {
  FakeDialog dialog;
  dialog.Set(IDC_WIDTHTOTAL, "52");
  dialog.Set(IDC_HEIGHTTOTAL, "-7");
  Received got;
  CreateCells(dialog, "save", got.Targets());
  EXPECT_EQ(dialog.messages, (std::vector<Message>{kWidthMessage, kHeightMessage}));
  EXPECT_EQ(dialog.Text(IDC_WIDTHTOTAL), " 55");
  EXPECT_EQ(dialog.Text(IDC_HEIGHTTOTAL), "-5");  // ceil(-1.4) = -1
  ASSERT_EQ(got.save.size(), 1u);
  EXPECT_EQ(got.save[0].widthTotal, 55);
  EXPECT_EQ(got.save[0].heightTotal, -5);

  // The written-back text reads back as the same total: no second message.
  dialog.messages.clear();
  CreateCells(dialog, "save", got.Targets());
  EXPECT_TRUE(dialog.messages.empty());
  EXPECT_EQ(got.save.back().widthTotal, 55);
}

TEST(CreateCells, RoundedFieldsThatFitAreLeftAsTyped) {
  FakeDialog dialog;
  dialog.Set(IDC_WIDTHTOTAL, "50.4");
  Received got;
  CreateCells(dialog, "screen", got.Targets());
  EXPECT_TRUE(dialog.messages.empty());
  EXPECT_EQ(dialog.Text(IDC_WIDTHTOTAL), "50.4");
  EXPECT_EQ(got.screen.at(0).widthTotal, 50);
}

TEST(CreateCells, ZeroCellSizeCountsAsWhole) {
  for (const char* cell : {"0", "", "abc"}) {
    FakeDialog dialog;
    dialog.Set(IDC_WIDTHCELL, cell);
    dialog.Set(IDC_WIDTHTOTAL, "0");  // 0 / 0 as well as 52 / 0
    Received got;
    CreateCells(dialog, "screen", got.Targets());
    dialog.Set(IDC_WIDTHTOTAL, "52");
    CreateCells(dialog, "screen", got.Targets());
    EXPECT_TRUE(dialog.messages.empty()) << cell;
    ASSERT_EQ(got.screen.size(), 2u);
    EXPECT_EQ(got.screen[1].widthCell, 0);
    EXPECT_EQ(got.screen[1].widthTotal, 52);
  }
}

TEST(CreateCells, AngleRangeAndRounding) {
  struct Case { const char* text; bool passes; std::int32_t angle; };
  for (const Case& c : {Case{"90.5", true, 90}, Case{"90.6", false, 0}, Case{"-0.4", true, 0}, Case{"-1", false, 0},
                        Case{"100", false, 0}, Case{"45", true, 45}}) {
    FakeDialog dialog;
    dialog.Set(IDC_ANGLE, c.text);
    Received got;
    CreateCells(dialog, "screen", got.Targets());
    if (c.passes) {
      EXPECT_TRUE(dialog.messages.empty()) << c.text;
      ASSERT_EQ(got.screen.size(), 1u) << c.text;
      EXPECT_EQ(got.screen[0].angle, c.angle);
    } else {
      EXPECT_EQ(dialog.messages, std::vector<Message>{kAngleMessage}) << c.text;
      EXPECT_TRUE(got.screen.empty()) << c.text;
    }
  }
}

TEST(CreateCells, CorrectionsStayWhenTheAngleIsRefused) {
  FakeDialog dialog;
  dialog.Set(IDC_ANGLE, "100");
  dialog.Set(IDC_WIDTHTOTAL, "52");
  Received got;
  CreateCells(dialog, "save", got.Targets());
  EXPECT_EQ(dialog.messages, (std::vector<Message>{kWidthMessage, kAngleMessage}));
  EXPECT_EQ(dialog.Text(IDC_WIDTHTOTAL), " 55");
  EXPECT_TRUE(got.save.empty());
}

TEST(CreateCells, DirectionFoldsIntoTheAngle) {
  struct Case { const char* angle; bool cw, ccw; std::int32_t expected; };
  for (const Case& c : {Case{"30", false, true, 330}, Case{"0", false, true, 360}, Case{"90", false, true, 270},
                        Case{"30", true, false, 30}, Case{"30", false, false, 30}, Case{"30", true, true, 30}}) {
    FakeDialog dialog;
    dialog.Set(IDC_ANGLE, c.angle);
    dialog.Check(c.cw, c.ccw);
    Received got;
    CreateCells(dialog, "screen", got.Targets());
    ASSERT_EQ(got.screen.size(), 1u);
    EXPECT_EQ(got.screen[0].angle, c.expected) << c.angle << c.cw << c.ccw;
  }
}

TEST(CreateCells, StartingPointIsNotRounded) {
  FakeDialog dialog;
  dialog.Set(IDC_STARTX, "10.25");
  dialog.Set(IDC_STARTY, "letters");
  Received got;
  CreateCells(dialog, "screen", got.Targets());
  ASSERT_EQ(got.screen.size(), 1u);
  EXPECT_EQ(got.screen[0].startX, 10.25L);
  EXPECT_EQ(got.screen[0].startY, 0);
}

TEST(CreateCells, FieldsOutsideThe32BitRangeAreRefused) {
  struct Case { int id; const char* label; };
  for (const Case& c : {Case{IDC_ANGLE, "Angle"}, Case{IDC_WIDTHTOTAL, "Width Total"},
                        Case{IDC_HEIGHTTOTAL, "Height Total"}, Case{IDC_WIDTHCELL, "Width Cell"},
                        Case{IDC_HEIGHTCELL, "Height Cell"}}) {
    for (const char* text : {"2147483648", "-2147483649", "1E9999", "&H100000000"}) {
      FakeDialog dialog;
      dialog.Set(c.id, text);
      Received got;
      CreateCells(dialog, "save", got.Targets());
      const Message expected{std::string(c.label) + " must be between -2147483648 and 2147483647", "Wrong value", 0x30};
      EXPECT_EQ(dialog.messages, std::vector<Message>{expected}) << c.label << " " << text;
      EXPECT_TRUE(got.save.empty());
      EXPECT_TRUE(dialog.writes.empty());
    }
  }
  // The edges themselves are accepted.
  FakeDialog dialog;
  dialog.Set(IDC_WIDTHTOTAL, "-2147483648");
  dialog.Set(IDC_WIDTHCELL, "-2147483648");
  Received got;
  CreateCells(dialog, "save", got.Targets());
  EXPECT_TRUE(dialog.messages.empty());
  EXPECT_EQ(got.save.size(), 1u);
}

TEST(CreateCells, CorrectedTotalOutsideThe32BitRangeIsRefused) {
  FakeDialog dialog;
  dialog.Set(IDC_WIDTHTOTAL, "2147483647");
  dialog.Set(IDC_WIDTHCELL, "2");  // 1073741824 cells of 2 = 2^31
  Received got;
  CreateCells(dialog, "save", got.Targets());
  const Message refused{"Width Total must be between -2147483648 and 2147483647", "Wrong value", 0x30};
  EXPECT_EQ(dialog.messages, (std::vector<Message>{kWidthMessage, refused}));
  EXPECT_EQ(dialog.Text(IDC_WIDTHTOTAL), "2147483647");
  EXPECT_TRUE(got.save.empty());

  FakeDialog low;
  low.Set(IDC_HEIGHTTOTAL, "-2147483648");
  low.Set(IDC_HEIGHTCELL, "-3");
  CreateCells(low, "save", got.Targets());
  ASSERT_EQ(low.messages.size(), 2u);
  EXPECT_EQ(low.messages[1].text, "Height Total must be between -2147483648 and 2147483647");
  EXPECT_TRUE(got.save.empty());
}

TEST(CreateCells, NonFiniteStartingPointIsRefused) {
  for (int id : {IDC_STARTX, IDC_STARTY}) {
    FakeDialog dialog;
    dialog.Set(id, id == IDC_STARTX ? "1E9999" : "-1e99999");
    Received got;
    CreateCells(dialog, "screen", got.Targets());
    const Message expected{id == IDC_STARTX ? "X must be a finite number" : "Y must be a finite number",
                           "Wrong value", 0x30};
    EXPECT_EQ(dialog.messages, std::vector<Message>{expected});
    EXPECT_TRUE(got.screen.empty());
  }
}

TEST(CreateCells, WriteBackIgnoresTheLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  FakeDialog dialog;
  dialog.Set(IDC_WIDTHTOTAL, "52.4");
  dialog.Set(IDC_STARTX, "10.5");
  Received got;
  CreateCells(dialog, "screen", got.Targets());
  std::setlocale(LC_ALL, old.c_str());
  EXPECT_EQ(dialog.Text(IDC_WIDTHTOTAL), " 55");
  ASSERT_EQ(got.screen.size(), 1u);
  EXPECT_EQ(got.screen[0].startX, 10.5L);
}

}  // namespace
}  // namespace tavimo
