// Drives tavimo.exe from outside its process, as a user would: types into
// its fields, clicks its buttons and menu commands, reads and answers its
// message boxes, looks at the preview's pixels and saves through the Save
// As dialog. Run under Wine by run_dialog_test.py, which then compares the
// saved files with tavimo-export's.
//
//   drive_dialog TAVIMO.EXE FOLDER
//
// Saves into FOLDER; tavimo.exe keeps its options in "settings" beside it.
// Prints a line "saved<TAB>NAME<TAB>EXPORTER ARGUMENTS..." for each file
// saved, and "FAIL: ..." for each check that fails; the exit code is 0 only
// when every check passed.

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_ids.h"
#include "dialog/dialog_texts.h"
#include "model/read_block.h"
#include "preview/draw_preview.h"
#include "preview/pixel_surface.h"
#include "platform/platform.h"

namespace {

using namespace tavimo;
using namespace tavimo::dialog;

// The common dialog's controls: file type, file name (either form).
constexpr int kFileTypeBox = 0x470;
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;
constexpr DWORD kWaitMs = 30000;
// A save's request ends moments after its last file is in place; a command
// that arrives before would be turned away as a second request.
constexpr DWORD kSettleMs = 1000;

int failures = 0;

bool Check(bool ok, const std::string& what) {
  if (!ok) {
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

void Step(const char* what) {
  std::printf("-- %s\n", what);
  std::fflush(stdout);
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }  // ASCII texts only
std::string Narrow(const std::wstring& s) {
  std::string n;
  for (wchar_t c : s) n += c < 128 ? static_cast<char>(c) : '?';
  return n;
}

// Waits until `find` gives a window (or true), polling.
template <typename Find>
auto WaitFor(Find find, DWORD ms = kWaitMs) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    auto found = find();
    if (found || GetTickCount64() >= end) return found;
    Sleep(50);
  }
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &length);
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 5000,
                      &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

struct Program {
  PROCESS_INFORMATION info{};
  HWND main = nullptr;

  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  // A program that did not end as it should goes now, not with the prefix.
  ~Program() {
    if (info.hProcess == nullptr) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }

  bool Start(const std::wstring& exe, const std::wstring& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
      return false;
    main = WaitFor([&] { return TopLevel([](HWND w) { return TextOf(w) == L"Cell block generator"; }); }, 60000);
    return main != nullptr;
  }

  // A visible dialog-class window of the program, other than the main one.
  HWND TopLevel(const std::function<bool(HWND)>& wanted) const {
    struct Search {
      const Program* self;
      const std::function<bool(HWND)>* wanted;
      HWND found = nullptr;
    } search{this, &wanted};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
          auto& s = *reinterpret_cast<Search*>(data);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid != s.self->info.dwProcessId || w == s.self->main || !IsWindowVisible(w) ||
              ClassOf(w) != L"#32770" || !(*s.wanted)(w))
            return TRUE;
          s.found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  HWND Control(int id) const { return GetDlgItem(main, id); }
  void SetText(int id, const std::string& text) const {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()), SMTO_BLOCK,
                        5000, &r);
  }
  std::string Text(int id) const { return Narrow(TextOf(Control(id))); }
  // Posted, as a click is: the program may show a box before it answers.
  void Click(int id) const {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
  }
  void Menu(int id) const { PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  bool Checked(int id) const {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(Control(id), BM_GETCHECK, 0, 0, SMTO_BLOCK, 5000, &r);
    return r == BST_CHECKED;
  }

  std::optional<DWORD> WaitForExit() const {
    if (WaitForSingleObject(info.hProcess, kWaitMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
  }
};

bool IsSaveDialog(HWND w) { return GetDlgItem(w, kFileTypeBox) != nullptr; }
bool IsProgress(HWND w) { return TextOf(w) == L"Cell block generator"; }

struct Box {
  HWND window = nullptr;
  std::string caption, text;
  bool icon = false;
};

// The message box the program shows next, within `ms`.
std::optional<Box> WaitForBox(const Program& p, DWORD ms = kWaitMs) {
  const HWND w = WaitFor([&] { return p.TopLevel([](HWND c) { return !IsSaveDialog(c) && !IsProgress(c); }); }, ms);
  if (w == nullptr) return std::nullopt;
  Box box{w, Narrow(TextOf(w)), {}, false};
  EnumChildWindows(
      w,
      [](HWND child, LPARAM data) -> BOOL {
        auto& b = *reinterpret_cast<Box*>(data);
        if (ClassOf(child) != L"Static" || !IsWindowVisible(child)) return TRUE;
        // The icon's place is there in every box; it holds an icon or not.
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          b.icon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
          return TRUE;
        }
        const std::string text = Narrow(TextOf(child));
        if (text.size() > b.text.size()) b.text = text;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  return box;
}

// Presses a button of a box or dialog and waits until the box is gone.
bool Press(HWND window, int button) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
  return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

void ExpectBox(const Program& p, const std::string& caption, const std::string& text, bool icon) {
  const std::optional<Box> box = WaitForBox(p);
  if (!Check(box.has_value(), "a message box \"" + caption + "\" appears")) return;
  Check(box->caption == caption, "caption \"" + box->caption + "\" is \"" + caption + "\"");
  Check(box->text == text, "text \"" + box->text + "\" is \"" + text + "\"");
  Check(box->icon == icon, "box \"" + caption + (icon ? "\" has an icon" : "\" has no icon"));
  // Message boxes of the checks have no owner: the dialog stays usable.
  Check(IsWindowEnabled(p.main), "the dialog stays enabled under \"" + caption + "\"");
  Check(Press(box->window, IDOK), "OK closes \"" + caption + "\"");
}

void ExpectNoBox(const Program& p, const char* when) {
  Check(!WaitForBox(p, 700).has_value(), std::string("no message box ") + when);
}

// The field texts as the exporter takes them, and the options the dialog's
// Options window is checked with here: decimals, and labels of one's own
// (a template and a corner).
struct Block {
  FieldTexts texts = FieldTexts::Initial();
  bool decimals = false;
  std::string labels;
  std::string corner;
  std::string Arguments() const {
    static const char* const kOptions[] = {"--x", "--y", "--width-total", "--height-total",
                                           "--width-cell", "--height-cell", "--angle"};
    std::string args;
    for (std::size_t i = 0; i < kFieldCount; ++i) args += std::string("\t") + kOptions[i] + "=" + texts.texts[i];
    if (decimals) args += "\t--decimals";
    if (!labels.empty()) args += "\t--labels=" + labels + "\t--corner=" + corner;
    return args + (texts.counterClockwise ? "\t--counter-clockwise" : "\t--clockwise");
  }
};

void Type(const Program& p, const Block& b) {
  for (const FieldInfo& f : kFields) p.SetText(ControlOf(f.field), b.texts[f.field]);
  if (p.Checked(IDC_COUNTERCLOCKWISE) != b.texts.counterClockwise) {
    PostMessageW(p.Control(b.texts.counterClockwise ? IDC_COUNTERCLOCKWISE : IDC_CLOCKWISE), BM_CLICK, 0, 0);
    WaitFor([&] { return p.Checked(IDC_COUNTERCLOCKWISE) == b.texts.counterClockwise; });
  }
}

// The preview control's pixels as the screen shows them, 0xRRGGBB. Read
// from the screen: Wine lends no pixels of another process's window DC.
std::vector<std::uint32_t> ScreenPixels(HWND preview, int w, int h) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  POINT corner{0, 0};
  ClientToScreen(preview, &corner);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, w, h, screen, corner.x, corner.y, SRCCOPY);
  GdiFlush();
  const auto* words = static_cast<const std::uint32_t*>(bits);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = words[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// After "Create Cells": the control shows, pixel for pixel, what DrawPreview
// draws for the block on a surface of its size.
void ExpectPreview(const Program& p, const Block& b) {
  const HWND preview = p.Control(IDC_GRAPHIC);
  RECT area{};
  GetClientRect(preview, &area);
  PixelSurface expected(area.right, area.bottom);
  expected.Attach(true);
  expected.SetScale(0, area.bottom, area.right, 0);
  const BlockReading reading = ReadBlock(b.texts);
  if (!Check(reading.spec.has_value() && DrawPreview(expected, *reading.spec), "the block draws")) return;

  // Lines in blue, cells in white: a grid pixel with a cell's pixel right
  // of it, on a row near the middle that is no row line.
  const std::vector<std::uint32_t>& want = expected.pixels();
  const auto width = static_cast<std::size_t>(area.right);
  std::size_t grid = 0;
  for (std::size_t row = area.bottom / 2; row < static_cast<std::size_t>(area.bottom) && grid == 0; ++row) {
    for (std::size_t x = row * width; x + 2 < (row + 1) * width; ++x) {
      if (want[x] == 0x0000FF && want[x + 1] == 0xFFFFFF && want[x + 2] == 0xFFFFFF) {
        grid = x;
        break;
      }
    }
  }
  Check(grid != 0, "the expected picture has a blue grid on white");

  std::vector<std::uint32_t> shown;
  WaitFor([&] { return (shown = ScreenPixels(preview, area.right, area.bottom)) == want; }, 10000);
  std::size_t differ = 0;
  for (std::size_t i = 0; i < want.size(); ++i) differ += shown[i] != want[i];
  Check(differ == 0, "the preview shows the drawn picture (" + std::to_string(differ) + " of " +
                         std::to_string(want.size()) + " pixels differ)");
  Check(shown[grid] == 0x0000FF && shown[grid + 1] == 0xFFFFFF, "a grid pixel is blue, a cell white");
}

// Runs the Save As dialog: picks file type `type` (from 1, 0 keeps it),
// types `name` and presses Save.
bool SaveAs(const Program& p, int type, const std::string& name) {
  const HWND dialog = WaitFor([&] { return p.TopLevel(IsSaveDialog); });
  if (!Check(dialog != nullptr, "the Save As dialog opens")) return false;
  if (type > 0) {
    // Once the dialog has filled in its file types.
    const HWND types = GetDlgItem(dialog, kFileTypeBox);
    WaitFor([&] { return SendMessageW(types, CB_GETCOUNT, 0, 0) >= type; });
    SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(type - 1), 0);
    // As the list tells when the user picks an entry.
    for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK})
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeBox, code), reinterpret_cast<LPARAM>(types));
    Check(SendMessageW(types, CB_GETCURSEL, 0, 0) == type - 1, "file type " + std::to_string(type) + " is chosen");
  }
  HWND field = GetDlgItem(dialog, kFileNameCombo);
  if (field == nullptr) field = GetDlgItem(dialog, kFileNameEdit);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return true;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG WrittenAt(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Saves the block `b` (already typed and asked to save) by typing `typed`
// with file type `type`, and waits for its `files`, which the caller then
// compares with the exporter's.
void SaveBlockAs(const Program& p, const std::wstring& folder, const Block& b, int type, const std::string& typed,
                 const std::vector<std::string>& files) {
  if (!SaveAs(p, type, typed)) return;
  for (const std::string& f : files) {
    Check(WaitFor([&] { return Exists(folder + L"\\" + Wide(f)); }), f + " is written");
  }
  Sleep(kSettleMs);
  std::printf("saved\t%s%s\n", files.front().c_str(), b.Arguments().c_str());
  std::fflush(stdout);
}

// A block too big to save in a moment: its progress window appears.
Block BigBlock() {
  Block big;
  big.texts[Field::kWidthTotal] = big.texts[Field::kHeightTotal] = "200000";
  big.texts[Field::kWidthCell] = big.texts[Field::kHeightCell] = "1";
  return big;
}

HWND WaitForProgress(const Program& p) {
  return WaitFor([&] { return p.TopLevel(IsProgress); });
}

// Where the driver has tavimo.exe keep its options: beside FOLDER, so that
// FOLDER holds the saved files only.
std::wstring SettingsFolder(const std::wstring& folder) {
  return folder.substr(0, folder.find_last_of(L"\\/")) + L"\\settings";
}

bool ButtonChecked(HWND button) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_BLOCK, 5000, &r);
  return r == BST_CHECKED;
}

// Opens File > Options...; the window, or null. A request that is still
// ending (a cancelled save removing its files) turns the command away:
// it is given again until the window is there.
HWND OpenOptions(const Program& p) {
  HWND options = nullptr;
  for (const ULONGLONG end = GetTickCount64() + kWaitMs; options == nullptr && GetTickCount64() < end;) {
    p.Menu(IDM_OPTIONS);
    options = WaitFor([&] { return p.TopLevel([](HWND w) { return TextOf(w) == L"Options"; }); }, 2000);
  }
  if (!Check(options != nullptr, "File > Options... opens the Options window")) return nullptr;
  Check(p.TopLevel([&](HWND w) { return w != options && TextOf(w) == L"Options"; }) == nullptr,
        "one Options window, however often the command comes");
  Check(!IsWindowEnabled(p.main), "the Options window blocks the dialog");
  return options;
}

void FirstRun(const std::wstring& exe, const std::wstring& folder) {
  Program p;
  if (!Check(p.Start(exe, folder), "the dialog \"Cell block generator\" opens")) return;

  Step("initial state");
  {
    // The screen is too short for the dialog's own position: it moves up,
    // just enough, and keeps its own X.
    RECT frame{}, work{};
    GetWindowRect(p.main, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Check(frame.top >= work.top && frame.bottom == work.bottom && frame.left > work.left,
          "the dialog lies wholly on a short screen, moved up only");
  }
  Block block;
  for (const FieldInfo& f : kFields) Check(p.Text(ControlOf(f.field)) == f.initialText, "initial text of " + std::string(f.label));
  Check(p.Checked(IDC_CLOCKWISE) && !p.Checked(IDC_COUNTERCLOCKWISE), "Clockwise is selected");
  Check(!IsWindowEnabled(p.Control(IDC_SAVECELLS)), "Save Cells starts disabled");
  {
    // Before the first preview the surface shows the dialog's face colour.
    const HWND preview = p.Control(IDC_GRAPHIC);
    RECT area{};
    GetClientRect(preview, &area);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t rgb = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    const std::vector<std::uint32_t> shown = ScreenPixels(preview, area.right, area.bottom);
    Check(area.right > 0 && shown == std::vector<std::uint32_t>(shown.size(), rgb), "the preview starts plain");
  }

  Step("Enter and Escape leave the dialog open");
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    PostMessageW(p.Control(IDC_WIDTHTOTAL), WM_KEYDOWN, key, 1);
    PostMessageW(p.Control(IDC_WIDTHTOTAL), WM_KEYUP, key, 0xC0000001);
  }
  ExpectNoBox(p, "after Enter and Escape");
  Check(IsWindowVisible(p.main), "the dialog is still open");

  Step("a corrected width, then a wrong angle");
  block.texts[Field::kWidthTotal] = "52";
  block.texts[Field::kAngle] = "100";
  Type(p, block);
  p.Click(IDC_CREATECELLS);
  ExpectBox(p, "Size changed...", "The total width of the cell block has been increased to match the cell width", true);
  ExpectBox(p, "Wrong angle", "Please enter a value between 0 and 90 degrees", false);
  ExpectNoBox(p, "after the wrong angle");
  Check(p.Text(IDC_WIDTHTOTAL) == " 55", "Width Total shows the corrected \" 55\"");
  Check(!IsWindowEnabled(p.Control(IDC_SAVECELLS)), "Save Cells stays disabled");

  Step("the default block's preview");
  block = Block{};
  Type(p, block);
  p.Click(IDC_CREATECELLS);
  Check(WaitFor([&] { return IsWindowEnabled(p.Control(IDC_SAVECELLS)) != FALSE; }), "the preview enables Save Cells");
  ExpectPreview(p, block);
  ExpectNoBox(p, "for the default block");

  Step("About");
  p.Menu(IDM_ABOUT);
  if (const std::optional<Box> about = WaitForBox(p); Check(about.has_value(), "the About box opens")) {
    Check(about->caption == dialog::kAboutCaption, "About caption");
    Check(about->text == dialog::AboutText(), "About text \"" + about->text + "\"");
    Check(!IsWindowEnabled(p.main), "the About box blocks the dialog");
    Check(Press(about->window, IDOK), "OK closes the About box");
    Check(WaitFor([&] { return IsWindowEnabled(p.main) != FALSE; }), "the dialog is usable again");
  }

  Step("saves");
  // A name typed without an extension takes the chosen file type's.
  p.Click(IDC_SAVECELLS);
  SaveBlockAs(p, folder, block, 0, "grid", {"grid.dxf"});
  Block turned;
  turned.texts[Field::kStartX] = "-3.25";
  turned.texts[Field::kStartY] = "7.5";
  turned.texts[Field::kWidthTotal] = "40";
  turned.texts[Field::kHeightTotal] = "30";
  turned.texts[Field::kWidthCell] = "4";
  turned.texts[Field::kHeightCell] = "6";
  turned.texts[Field::kAngle] = "33";
  turned.texts.clockwise = false;
  turned.texts.counterClockwise = true;
  Type(p, turned);
  Check(!p.Checked(IDC_CLOCKWISE), "Counter Clockwise clears Clockwise");
  p.Click(IDC_SAVECELLS);
  SaveBlockAs(p, folder, turned, 2, "turned", {"turned.cht", "turned.rws"});
  // GeoJSON, Tavimo's own, the type after the CHT file's in this build.
  p.Click(IDC_SAVECELLS);
  SaveBlockAs(p, folder, turned, 3, "turned", {"turned.geojson"});

  Step("one question before replacing both files");
  p.Menu(IDM_SAVEAS);
  if (SaveAs(p, 0, "turned.cht")) {
    const std::string question = "turned.cht and turned.rws already exist.\r\nDo you want to replace them?";
    std::optional<Box> box = WaitForBox(p);
    if (Check(box && box->text == question, "the question names both files")) {
      Press(box->window, IDNO);
      Check(WaitFor([&] { return p.TopLevel(IsSaveDialog); }) != nullptr, "No keeps the Save As dialog open");
      SaveAs(p, 0, "turned.cht");
      box = WaitForBox(p);
      const ULONGLONG before = WrittenAt(folder + L"\\turned.cht");
      if (Check(box && box->text == question, "asked again")) Press(box->window, IDYES);
      // The chosen file is the last one put in place.
      Check(WaitFor([&] { return WrittenAt(folder + L"\\turned.cht") != before; }), "Yes saves");
      Sleep(kSettleMs);
    }
  }

  Step("save messages");
  // An existing file of no known type is refused, not first offered for replacing.
  CloseHandle(CreateFileW((folder + L"\\notes.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  p.Click(IDC_SAVECELLS);
  if (SaveAs(p, 0, "notes.txt"))
    ExpectBox(p, "Unknown file type", "Please choose a file name ending in .dxf, .cht or .geojson", true);
  DeleteFileW((folder + L"\\notes.txt").c_str());
  const std::wstring locked = folder + L"\\locked.dxf";
  HANDLE file = CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
  CloseHandle(file);
  p.Click(IDC_SAVECELLS);
  if (SaveAs(p, 0, "locked.dxf")) {
    const std::optional<Box> box = WaitForBox(p);
    if (Check(box && box->text == "locked.dxf already exists.\r\nDo you want to replace it?", "asked about locked.dxf"))
      Press(box->window, IDYES);
    const std::optional<Box> failed = WaitForBox(p);
    if (Check(failed.has_value() && failed->caption == "Save failed", "a read-only file gives \"Save failed\"")) {
      Check(failed->text.rfind("Could not write ", 0) == 0 && failed->text.find("locked.dxf") != std::string::npos,
            "the failure names the file: \"" + failed->text + "\"");
      Check(failed->icon, "\"Save failed\" has an icon");
      Press(failed->window, IDOK);
    }
  }
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(locked.c_str());

  Step("a long save shows its progress and cancels");
  Type(p, BigBlock());
  p.Click(IDC_SAVECELLS);
  if (SaveAs(p, 0, "big.dxf")) {
    const HWND progress = WaitForProgress(p);
    if (Check(progress != nullptr, "the progress window appears")) {
      Check(!IsWindowEnabled(p.main), "it blocks the dialog");
      Check(Press(progress, IDCANCEL), "Cancel closes it");
      Check(WaitFor([&] { return IsWindowEnabled(p.main) != FALSE; }), "the dialog is usable again");
      ExpectNoBox(p, "after Cancel");
      Check(!Exists(folder + L"\\big.dxf"), "a cancelled save writes nothing");
    }
  }

  Step("Options: decimals kept, cells labelled A1... from the upper left");
  if (const HWND options = OpenOptions(p)) {
    Check(!IsWindowEnabled(GetDlgItem(options, IDC_COLUMNS)), "the fields of an option that is off are disabled");
    const HWND decimals = GetDlgItem(options, IDC_DECIMALS);
    PostMessageW(decimals, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return ButtonChecked(decimals); }), "\"Keep decimals of the angle and sizes\" is checked");
    const HWND corner = GetDlgItem(options, IDC_CORNER);
    Check(ClassOf(corner) == L"ComboBox" && (GetWindowLongW(corner, GWL_STYLE) & 3) == CBS_DROPDOWNLIST,
          "\"Corner of 1-1\" is a drop-down list");
    wchar_t item[32] = L"";
    SendMessageW(corner, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(item));
    Check(SendMessageW(corner, CB_GETCOUNT, 0, 0) == 4 && std::wstring(item) == L"Upper left" &&
              SendMessageW(corner, CB_GETCURSEL, 0, 0) == 0,
          "the corners are listed, the first chosen");
    PostMessageW(GetDlgItem(options, IDC_LABELS), BM_CLICK, 0, 0);
    Check(WaitFor([&] { return IsWindowEnabled(corner) != FALSE; }),
          "\"Label the cells my own way\" enables its part");
    SendMessageW(GetDlgItem(options, IDC_TEMPLATE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"{col:A}{row}"));
    SendMessageW(corner, CB_SETCURSEL, 2, 0);
    Check(Press(options, IDOK), "OK closes the Options window");
    Check(WaitFor([&] { return IsWindowEnabled(p.main) != FALSE; }), "the dialog is usable again");
    HANDLE kept = CreateFileW((SettingsFolder(folder) + L"\\options.conf").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    char text[512] = "";
    DWORD n = 0;
    if (kept != INVALID_HANDLE_VALUE) {
      ReadFile(kept, text, sizeof text - 1, &n, nullptr);
      CloseHandle(kept);
    }
    for (const char* line :
         {"\ndecimals=on\n", "\nlabels=on\n", "\nlabel-template={col:A}{row}\n", "\ncorner=upper-left\n"})
      Check(std::string(text, n).find(line) != std::string::npos, std::string("options.conf keeps ") + (line + 1));
  }
  // 10.5 over cells of 3.5 is three cells; rounded, 10 over cells of 4
  // would be raised to 12 with a "Size changed..." message.
  Block fractional;
  fractional.decimals = true;
  fractional.labels = "{col:A}{row}";
  fractional.corner = "upper-left";
  fractional.texts[Field::kWidthTotal] = "10.5";
  fractional.texts[Field::kWidthCell] = "3.5";
  fractional.texts[Field::kHeightTotal] = "7.5";
  fractional.texts[Field::kHeightCell] = "2.5";
  fractional.texts[Field::kAngle] = "12.5";
  Type(p, fractional);
  p.Click(IDC_CREATECELLS);
  ExpectNoBox(p, "for a block whose fractions are kept");
  Check(p.Text(IDC_WIDTHTOTAL) == "10.5", "Width Total stays 10.5");
  p.Click(IDC_SAVECELLS);
  SaveBlockAs(p, folder, fractional, 0, "fractions", {"fractions.dxf"});

  Step("File > Exit");
  p.Menu(IDM_EXIT);
  const std::optional<DWORD> code = p.WaitForExit();
  Check(code.has_value() && *code == 0, "the program ends with exit code 0");
}

// Closing the window (as the system does at log-off) while a save runs.
void SecondRun(const std::wstring& exe, const std::wstring& folder) {
  Program p;
  if (!Check(p.Start(exe, folder), "the dialog opens again")) return;
  Step("the options of the last run");
  if (const HWND options = OpenOptions(p)) {
    Check(ButtonChecked(GetDlgItem(options, IDC_DECIMALS)), "decimals are still kept");
    Check(ButtonChecked(GetDlgItem(options, IDC_LABELS)) &&
              SendDlgItemMessageW(options, IDC_CORNER, CB_GETCURSEL, 0, 0) == 2,
          "the labels still start at the upper left");
    Check(Press(options, IDCANCEL), "Cancel closes the Options window");
  }
  Step("closing the window during a long save");
  p.Click(IDC_CREATECELLS);
  Check(WaitFor([&] { return IsWindowEnabled(p.Control(IDC_SAVECELLS)) != FALSE; }), "the preview enables Save Cells");
  Type(p, BigBlock());
  p.Click(IDC_SAVECELLS);
  if (SaveAs(p, 0, "closed.dxf") && Check(WaitForProgress(p) != nullptr, "the progress window appears")) {
    PostMessageW(p.main, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = p.WaitForExit();
    Check(code.has_value() && *code == 0, "closing ends the program with exit code 0");
    Check(!Exists(folder + L"\\closed.dxf"), "the cancelled save wrote nothing");
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseExtendedPrecision();
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: drive_dialog TAVIMO.EXE FOLDER\n");
    return 2;
  }
  const std::wstring exe = Wide(args[1]);
  const std::wstring folder = Wide(args[2]);
  // Inherited by tavimo.exe: never the prefix's own %APPDATA%.
  SetEnvironmentVariableW(L"TAVIMO_CONFIG_HOME", SettingsFolder(folder).c_str());
  FirstRun(exe, folder);
  SecondRun(exe, folder);
  std::printf(failures == 0 ? "all checks passed\n" : "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
