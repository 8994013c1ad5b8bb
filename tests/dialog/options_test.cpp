// The Options window's choices: kept in their file between runs, refused
// on OK while a field they need is empty, and held for the run when the
// file cannot be written.

#include <stdlib.h>
#include <sys/stat.h>

#include <map>

#include <gtest/gtest.h>

#include "dialog/dialog_ids.h"
#include "dialog/dialog_texts.h"
#include "dialog/options_store.h"
#include "dialog/options_window.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace tavimo::dialog {
namespace {

using namespace std::string_literals;
using tavimo::testing::ReadFile;
using tavimo::testing::TempDir;
using tavimo::testing::WriteFile;

OptionsChoices Everything() {
  OptionsChoices c;
  c.decimals = true;
  c.baseline = true;
  // Texts as typed: blanks, separators and characters the file escapes.
  c.baselinePoints = {" 10.50", "-2e3", "a=b", "x\\n\r\ny"};
  c.counts = true;
  c.columns = "12 ";
  c.rows = "&H10 \xC3\xA4";
  c.labels = true;
  c.labelTemplate = "{col:A}{{=}}{row:03}";
  c.firstColumn = " 0";
  c.firstRow = "-3";
  c.corner = LabelCorner::kUpperLeft;
  c.order = NumberOrder::kSerpentine;
  c.labelsAtCentre = true;
  c.srs = "EPSG:25833";
  return c;
}

// The window's controls as values; messages and focus recorded.
struct FakeForm : OptionsForm {
  std::map<int, bool> checked;
  std::map<int, std::string> texts;
  std::map<int, int> choices;
  std::map<int, bool> enabled;
  std::vector<std::string> messages;
  int focus = 0;

  bool IsChecked(int id) override { return checked[id]; }
  void SetChecked(int id, bool on) override { checked[id] = on; }
  std::string GetText(int id) override { return texts[id]; }
  void SetText(int id, std::string_view text) override { texts[id] = text; }
  int GetChoice(int id) override { return choices.contains(id) ? choices[id] : -1; }
  void SetChoice(int id, int index) override { choices[id] = index; }
  void Enable(int id, bool on) override { enabled[id] = on; }
  void Focus(int id) override { focus = id; }
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override {
    EXPECT_EQ(style, kMessageWarning | kMessageTaskModal);
    messages.push_back(std::string(caption) + ": " + std::string(text));
  }
};

TEST(OptionsStore, ChoicesComeBackExactlyAsTyped) {
  TempDir dir;
  const std::string folder = dir / "config/tavimo";  // made on the first save
  OptionsStore store(folder);
  store.Load();
  EXPECT_EQ(store.Choices(), OptionsChoices{});
  ASSERT_EQ(store.Save(Everything()), "");
  EXPECT_EQ(store.Path(), folder + "/options.conf");
  EXPECT_EQ(tavimo::testing::Names(folder), std::vector<std::string>{"options.conf"});

  // One line each, a line end inside a text escaped.
  const std::string text = ReadFile(store.Path());
  EXPECT_NE(text.find("\ndecimals=on\n"), std::string::npos);
  EXPECT_NE(text.find("\nbaseline-y2=x\\\\n\\r\\ny\n"), std::string::npos);
  for (const char* line : {"\nlabels=on\n", "\nlabel-template={col:A}{{=}}{row:03}\n", "\nfirst-column= 0\n",
                           "\ncorner=upper-left\n", "\norder=serpentine\n", "\nlabel-centre=on\n",
                           "\nsrs=EPSG:25833\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;

  // An option that is off keeps its texts, and is absent from the block's options.
  OptionsChoices off = Everything();
  off.counts = false;
  ASSERT_EQ(store.Save(off), "");
  OptionsStore next(folder);
  next.Load();
  EXPECT_EQ(next.Choices(), off);
  EXPECT_EQ(next.Choices().rows, "&H10 \xC3\xA4");
  const BlockOptions options = next.Choices().ToBlockOptions();
  EXPECT_TRUE(options.decimals && !options.columns && !options.rows && !options.extent);
  EXPECT_EQ(options.baseline, Everything().baselinePoints);
  EXPECT_FALSE(OptionsChoices{}.ToBlockOptions().AnyOn());
  EXPECT_TRUE(options.labels == "{col:A}{{=}}{row:03}" && options.firstColumn == " 0" && options.firstRow == "-3");
  EXPECT_TRUE(options.corner == LabelCorner::kUpperLeft && options.order == NumberOrder::kSerpentine &&
              options.labelsAtCentre);

  // The labels part off keeps its texts and leaves the labels as they always were.
  off.labels = false;
  ASSERT_EQ(store.Save(off), "");
  next.Load();
  EXPECT_EQ(next.Choices(), off);
  EXPECT_FALSE(next.Choices().ToBlockOptions().AnyLabelOn());
}

// Untouched, the labels part writes nothing: the file is as it has always been.
TEST(OptionsStore, UntouchedLabelsLeaveTheFileAsItWas) {
  EXPECT_EQ(OptionsFileText({}),
            "# Tavimo's choices in File > Options, kept for its next start.\ndecimals=off\nbaseline=off\n"
            "baseline-x1=\nbaseline-y1=\nbaseline-x2=\nbaseline-y2=\ncounts=off\ncolumns=\nrows=\n");
  OptionsChoices centred;
  centred.labelsAtCentre = true;
  EXPECT_NE(OptionsFileText(centred).find("\nlabels=off\nlabel-template={col}-{row}\nfirst-column=1\n"),
            std::string::npos);
  EXPECT_EQ(ParseOptionsFile(OptionsFileText(centred)), centred);
}

TEST(OptionsStore, MissingOrGarbledFilesTurnOptionsOff) {
  TempDir dir;
  OptionsStore store(dir.path());
  store.Load();
  EXPECT_EQ(store.Choices(), OptionsChoices{});

  // Unknown keys, lines without "=", values that mean nothing, CR LF line
  // ends and binary junk pass by; what is readable stays.
  WriteFile(dir / "options.conf",
            "decimals=on\r\ncolour=blue\nbaseline=yes\njunk\n\x01\xFF=\x00=\ncounts=on\ncolumns=4\nrows=3"s);
  store.Load();
  OptionsChoices expected;
  expected.decimals = true;
  expected.counts = true;
  expected.columns = "4";
  expected.rows = "3";
  EXPECT_EQ(store.Choices(), expected);

  // An option whose field is empty or blank could not have left the window: off.
  WriteFile(dir / "options.conf",
            "counts=on\ncolumns=4\nrows= \nbaseline=on\nbaseline-x1=1\nlabels=on\nfirst-row=\ncorner=middle\n"
            "order=columns\n");
  store.Load();
  EXPECT_FALSE(store.Choices().counts);
  EXPECT_FALSE(store.Choices().baseline);
  EXPECT_FALSE(store.Choices().labels);
  EXPECT_EQ(store.Choices().columns, "4");
  EXPECT_EQ(store.Choices().corner, LabelCorner::kLowerLeft);
  EXPECT_EQ(store.Choices().order, NumberOrder::kColumns);

  // A folder in the file's place, or a file far too large: all off.
  for (const std::string& junk : {std::string(), std::string(100000, 'x')}) {
    unlink((dir / "options.conf").c_str());
    if (junk.empty()) ASSERT_EQ(mkdir((dir / "options.conf").c_str(), 0700), 0);
    else WriteFile(dir / "options.conf", "decimals=on\n" + junk);
    store.Load();
    EXPECT_EQ(store.Choices(), OptionsChoices{});
    rmdir((dir / "options.conf").c_str());
  }
}

// The choices hold for the run whatever the disk says; the old file stays whole.
TEST(OptionsStore, FailedWriteKeepsTheChoices) {
  TempDir dir;
  OptionsStore store(dir.path());
  ASSERT_EQ(store.Save(OptionsChoices{}), "");
  const std::string before = ReadFile(store.Path());
  chmod(dir.path().c_str(), 0500);
  const std::string failure = store.Save(Everything());
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(failure, "Could not write " + store.Path() + ": Permission denied");
  EXPECT_EQ(store.Choices(), Everything());
  EXPECT_EQ(ReadFile(store.Path()), before);
  EXPECT_EQ(tavimo::testing::Names(dir.path()), std::vector<std::string>{"options.conf"});
}

TEST(OptionsStore, SettingsFolderOfTheUser) {
  // No other case reads these variables.
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/elsewhere/", 1);
  unsetenv("TAVIMO_CONFIG_HOME");
  EXPECT_EQ(platform::SettingsFolder(), "/elsewhere/tavimo");
  // A relative XDG_CONFIG_HOME is none.
  setenv("XDG_CONFIG_HOME", "config", 1);
  EXPECT_EQ(platform::SettingsFolder(), "/home/someone/.config/tavimo");
  setenv("TAVIMO_CONFIG_HOME", "/tmp/own", 1);
  EXPECT_EQ(platform::SettingsFolder(), "/tmp/own");
}

TEST(OptionsWindow, FieldsFollowTheirCheckBoxes) {
  FakeForm form;
  OptionsChoices choices;
  choices.counts = true;
  choices.columns = "4";
  choices.rows = "3";
  choices.baselinePoints[2] = "7";
  ShowChoices(form, choices);
  EXPECT_TRUE(form.checked[IDC_COUNTS]);
  EXPECT_EQ(form.texts[IDC_BASELINEX2], "7");
  for (int id : {IDC_COLUMNS, IDC_ROWS, IDC_LABELCOLUMNS, IDC_LABELROWS}) EXPECT_TRUE(form.enabled[id]) << id;
  for (int id : {IDC_BASELINEX1, IDC_BASELINEY2, IDC_LABELX1}) EXPECT_FALSE(form.enabled[id]) << id;
  form.checked[IDC_BASELINE] = true;
  form.checked[IDC_COUNTS] = false;
  FollowChecks(form);
  EXPECT_TRUE(form.enabled[IDC_BASELINEY2]);
  EXPECT_FALSE(form.enabled[IDC_ROWS]);
  EXPECT_EQ(ReadChoices(form).baselinePoints[2], "7");

  // The labels part: its lists and second check box follow it too, and the
  // lists show the chosen values.
  EXPECT_EQ(form.choices[IDC_CORNER], 0);
  for (int id : {IDC_TEMPLATE, IDC_LABELFIRSTROW, IDC_CORNER, IDC_LABELORDER, IDC_LABELSCENTRE})
    EXPECT_FALSE(form.enabled[id]) << id;
  form.checked[IDC_LABELS] = true;
  FollowChecks(form);
  for (int id : {IDC_TEMPLATE, IDC_LABELFIRSTROW, IDC_CORNER, IDC_LABELORDER, IDC_LABELSCENTRE})
    EXPECT_TRUE(form.enabled[id]) << id;
  ShowChoices(form, Everything());
  EXPECT_EQ(std::string(OptionsListItems(IDC_CORNER)[form.choices[IDC_CORNER]]), "Upper left");
  EXPECT_EQ(ReadChoices(form), Everything());
  // No item chosen reads as the first.
  form.choices.erase(IDC_ORDER);
  EXPECT_EQ(ReadChoices(form).order, NumberOrder::kRows);
}

TEST(OptionsWindow, OkNamesAnEmptyFieldAndKeepsTheWindowOpen) {
  TempDir dir;
  OptionsStore store(dir.path());
  FakeForm form;
  ShowChoices(form, {});
  form.checked[IDC_DECIMALS] = true;
  form.checked[IDC_COUNTS] = true;
  form.texts[IDC_COLUMNS] = "4";
  form.texts[IDC_ROWS] = " ";
  // An option that is off may keep empty fields.
  form.texts[IDC_BASELINEX1] = "";
  EXPECT_FALSE(AcceptOptions(form, store));
  EXPECT_EQ(form.messages,
            std::vector<std::string>{"Options: Please enter a value for Rows, or clear \"Give counts of cells\""});
  EXPECT_EQ(form.focus, IDC_ROWS);
  EXPECT_FALSE(tavimo::testing::Exists(store.Path()));
  EXPECT_EQ(store.Choices(), OptionsChoices{});

  form.texts[IDC_ROWS] = "3";
  EXPECT_TRUE(AcceptOptions(form, store));
  EXPECT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(store.Choices(), ReadChoices(form));
  OptionsStore restarted(dir.path());
  restarted.Load();
  EXPECT_EQ(restarted.Choices(), ReadChoices(form));

  // A file that cannot be written is told, and the window closes with the choices held.
  OptionsStore nowhere(dir / "options.conf/below");
  form.checked[IDC_DECIMALS] = false;
  EXPECT_TRUE(AcceptOptions(form, nowhere));
  ASSERT_EQ(form.messages.size(), 2u);
  EXPECT_EQ(form.messages[1], "Options not kept: Could not make the folder " + dir / "options.conf/below" +
                                  ": Not a directory\r\nThe options hold until Tavimo ends; its next start will not "
                                  "have them.");
  EXPECT_FALSE(nowhere.Choices().decimals);
  EXPECT_TRUE(nowhere.Choices().counts);
}

// The coordinate system is read on OK as --srs reads it; blank is none.
TEST(OptionsWindow, OkNamesACoordinateSystemTheSavesCannotTake) {
  TempDir dir;
  OptionsStore store(dir.path());
  FakeForm form;
  ShowChoices(form, {});
  EXPECT_EQ(form.texts[IDC_SRS], "");
  form.texts[IDC_SRS] = "no such system";
  EXPECT_FALSE(AcceptOptions(form, store));
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].rfind("Options: Coordinate system: ", 0), 0u) << form.messages[0];
  EXPECT_EQ(form.focus, IDC_SRS);
  EXPECT_FALSE(tavimo::testing::Exists(store.Path()));
  form.texts[IDC_SRS] = " EPSG:25833\t";
  EXPECT_TRUE(AcceptOptions(form, store));
  EXPECT_EQ(store.Choices().srs, "EPSG:25833");
  form.texts[IDC_SRS] = "  ";
  EXPECT_TRUE(AcceptOptions(form, store));
  EXPECT_EQ(store.Choices(), OptionsChoices{});
  EXPECT_EQ(ReadFile(store.Path()), OptionsFileText({}));  // as a file of before
}

// The labels part is read on OK by the rules Create Cells reads it with.
TEST(OptionsWindow, OkNamesALabelFieldThatCannotBeRead) {
  TempDir dir;
  OptionsStore store(dir.path());
  FakeForm form;
  ShowChoices(form, {});
  // Off, anything goes.
  form.texts[IDC_TEMPLATE] = "{col";
  form.texts[IDC_FIRSTROW] = "";
  EXPECT_TRUE(AcceptOptions(form, store));
  form.checked[IDC_LABELS] = true;
  const std::vector<std::pair<std::pair<int, std::string>, std::string>> refused = {
      {{IDC_FIRSTROW, " "}, "Please enter a value for First row, or clear \"Label the cells my own way\""},
      {{IDC_TEMPLATE, "{col"}, "Template: a \"{\" without its \"}\"; write \"{{\" for a brace"},
      {{IDC_TEMPLATE, "{column}"}, "Template: unknown field {column}: the fields are {col}, {row} and {n}"},
      {{IDC_FIRSTCOLUMN, "1.5"}, "First column must be a whole number between -2147483648 and 2147483647"},
      {{IDC_FIRSTROW, "2147483648"}, "First row must be a whole number between -2147483648 and 2147483647"},
  };
  for (const auto& [field, message] : refused) {
    form.texts[IDC_TEMPLATE] = "{col:A}{row}";
    form.texts[IDC_FIRSTCOLUMN] = form.texts[IDC_FIRSTROW] = "1";
    form.texts[field.first] = field.second;
    form.messages.clear();
    EXPECT_FALSE(AcceptOptions(form, store)) << field.second;
    EXPECT_EQ(form.messages, std::vector<std::string>{"Options: " + message});
    EXPECT_EQ(form.focus, field.first) << field.second;
    EXPECT_FALSE(store.Choices().labels);
  }

  // Whole numbers as the fields take them, the upper left corner: the block's labels.
  form.texts[IDC_FIRSTROW] = " -2147483648";
  form.texts[IDC_FIRSTCOLUMN] = "1E1";
  form.choices[IDC_CORNER] = 2;
  form.messages.clear();
  EXPECT_TRUE(AcceptOptions(form, store));
  EXPECT_TRUE(form.messages.empty());
  const BlockReading reading = ReadBlock(FieldTexts::Initial(), store.Choices().ToBlockOptions());
  ASSERT_TRUE(reading.block.has_value());
  EXPECT_EQ(reading.block->labels.firstColumn, 10);
  EXPECT_EQ(reading.block->labels.firstRow, -2147483648LL);
  EXPECT_EQ(reading.block->labels.corner, LabelCorner::kUpperLeft);
}

}  // namespace
}  // namespace tavimo::dialog
