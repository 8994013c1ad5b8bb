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
  return c;
}

// The window's controls as values; messages and focus recorded.
struct FakeForm : OptionsForm {
  std::map<int, bool> checked;
  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  std::vector<std::string> messages;
  int focus = 0;

  bool IsChecked(int id) override { return checked[id]; }
  void SetChecked(int id, bool on) override { checked[id] = on; }
  std::string GetText(int id) override { return texts[id]; }
  void SetText(int id, std::string_view text) override { texts[id] = text; }
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
  WriteFile(dir / "options.conf", "counts=on\ncolumns=4\nrows= \nbaseline=on\nbaseline-x1=1\n");
  store.Load();
  EXPECT_FALSE(store.Choices().counts);
  EXPECT_FALSE(store.Choices().baseline);
  EXPECT_EQ(store.Choices().columns, "4");

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

}  // namespace
}  // namespace tavimo::dialog
