#include "app-win32/main_dialog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app-win32/main_layout.h"
#include "app-win32/options_window.h"
#include "app-win32/preview_picture.h"
#include "app-win32/progress_window.h"
#include "app-win32/save_dialog.h"
#include "dialog/create_cells.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_layout.h"
#include "dialog/dialog_texts.h"
#include "dialog/options_store.h"
#include "dialog/window_placement.h"
#include "platform/platform.h"
#include "platform/wide_text.h"
#include "preview/pixel_surface.h"

namespace tavimo::win32 {

using namespace dialog;

namespace {

Rect RectOf(const RECT& r) {
  return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
          static_cast<int>(r.bottom - r.top)};
}

// The dialog, and the dialog layer's host for the requests it runs: its
// fields, boxes and dialogs, progress and preview.
class MainDialog final : private DialogHost {
 public:
  int Run(HINSTANCE instance);

 private:
  std::string GetText(Field field) override {
    const HWND edit = Control(ControlOf(field));
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
  }
  void SetText(Field field, std::string_view text) override {
    SetWindowTextW(Control(ControlOf(field)), Wide(text).c_str());
  }
  bool IsClockwise() override { return IsDlgButtonChecked(dialog_, IDC_CLOCKWISE) == BST_CHECKED; }
  bool IsCounterClockwise() override { return IsDlgButtonChecked(dialog_, IDC_COUNTERCLOCKWISE) == BST_CHECKED; }
  // The Options window's choices, as remembered from the last run or since.
  BlockOptions Options() override { return options_.Choices().ToBlockOptions(); }
  std::string Srs() override { return options_.Choices().srs; }
  void ShowNotice(const Notice& notice) override { ShowMessage(notice.text, notice.caption, StyleOf(notice.icon)); }
  std::optional<std::string> AskSaveFileName(std::string_view initialName, std::string_view filter,
                                             std::string_view defaultExtension) override {
    if (ending_) return std::nullopt;
    std::optional<std::string> path = RunSaveDialog(dialog_, initialName, filter, defaultExtension);
    // A shell extension the dialog loaded may have lowered the precision
    // that the digits of the save need.
    platform::UseExtendedPrecision();
    return ending_ ? std::nullopt : path;
  }
  void RunWithProgress(const char* label, const std::function<void(Progress&)>& work) override;
  void EnableSaving() override {
    EnableMenuItem(menu_, IDM_SAVEAS, MF_BYCOMMAND | MF_ENABLED);
    DrawMenuBar(dialog_);
    EnableWindow(Control(IDC_SAVECELLS), TRUE);
  }
  PreviewSurface& Preview() override { return *surface_; }
  bool Ending() const override { return ending_; }
  void PointAtRunningRequest() override {
    ForEachOtherWindow([](HWND window) {
      if (IsWindowVisible(window)) SetForegroundWindow(window);
    });
    if (activeProgress_ != nullptr && activeProgress_->Window() != nullptr)
      SetForegroundWindow(activeProgress_->Window());
  }

  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Initialise();
  void FitClientArea();
  void KeepOnScreen();
  void CreatePreview();
  void Command(int id, int code, bool fromControl);
  void OpenOptions();
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style);
  void EndNow();
  // Each top-level window of this thread that is neither the dialog nor
  // the progress window: the message boxes and the Save As dialog.
  void ForEachOtherWindow(const std::function<void(HWND)>& call) const;
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }

  HINSTANCE instance_ = nullptr;
  HWND dialog_ = nullptr;
  HMENU menu_ = nullptr;
  HICON icons_[2] = {nullptr, nullptr};
  // The control that had the focus when the dialog was last deactivated.
  HWND savedFocus_ = nullptr;
  std::unique_ptr<PixelSurface> surface_;
  PreviewPicture picture_;
  // The progress of the preview or save running now, if any.
  ProgressWindow* activeProgress_ = nullptr;
  OptionsStore options_{platform::SettingsFolder()};
  bool optionsOpen_ = false;
  bool ending_ = false;
};

int MainDialog::Run(HINSTANCE instance) {
  instance_ = instance;
  options_.Load();
  const DialogTemplate layout = MainDialogTemplate();
  const INT_PTR result =
      DialogBoxIndirectParamW(instance, layout.Get(), nullptr, Proc, reinterpret_cast<LPARAM>(this));
  for (HICON icon : icons_) {
    if (icon != nullptr) DestroyIcon(icon);
  }
  return result == -1 ? 1 : 0;
}

INT_PTR CALLBACK MainDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<MainDialog*>(lParam);
    self->dialog_ = window;
    self->Initialise();
    return TRUE;
  }
  auto* self = reinterpret_cast<MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Escape arrive as commands 1 and 2, which nothing answers:
      // there is no default or cancel button.
      Command(LOWORD(wParam), HIWORD(wParam), lParam != 0);
      return TRUE;
    case WM_CLOSE:
      EndNow();
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) {
        EndNow();
        // The process may be ended as soon as this returns.
        platform::RemoveTemporaries();
      }
      return TRUE;
    case WM_NCACTIVATE:
      if (wParam == 0) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(dialog_, focus)) savedFocus_ = focus;
      } else if (savedFocus_ != nullptr) {
        if (IsWindow(savedFocus_)) SetFocus(savedFocus_);
        savedFocus_ = nullptr;
      }
      return FALSE;  // the frame is drawn as usual
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_GRAPHIC) return FALSE;
      picture_.Paint(item->hDC);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void MainDialog::Initialise() {
  const int sizes[2] = {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CXSMICON)};
  for (int i = 0; i < 2; ++i) {
    icons_[i] = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, sizes[i], sizes[i], 0));
    SendMessageW(dialog_, WM_SETICON, i == 0 ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icons_[i]));
  }
  menu_ = CreateMenuBar();
  SetMenu(dialog_, menu_);
  FitClientArea();
  CreatePreview();

  // Clockwise selected; saving waits for the first preview.
  CheckDlgButton(dialog_, IDC_CLOCKWISE, BST_CHECKED);
  EnableMenuItem(menu_, IDM_SAVEAS, MF_BYCOMMAND | MF_GRAYED);
  KeepOnScreen();
}

// The dialog keeps its own position where it fits on its screen's work
// area, and moves just enough to lie wholly on it where not (small
// screens, large fonts); the top-left corner wins where it cannot fit.
void MainDialog::KeepOnScreen() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(dialog_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  RECT frame;
  GetWindowRect(dialog_, &frame);
  const Point place = PlaceInside(RectOf(frame), RectOf(monitor.rcWork));
  if (place.x != frame.left || place.y != frame.top)
    SetWindowPos(dialog_, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The menu bar, attached after the dialog was made, takes its room from
// the client area; the window grows so the controls keep theirs.
void MainDialog::FitClientArea() {
  RECT wanted{0, 0, dialog::kDialogWidthDu, dialog::kDialogHeightDu};
  MapDialogRect(dialog_, &wanted);
  RECT client, frame;
  GetClientRect(dialog_, &client);
  GetWindowRect(dialog_, &frame);
  SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left + wanted.right - client.right,
               frame.bottom - frame.top + wanted.bottom - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainDialog::CreatePreview() {
  const HWND control = Control(IDC_GRAPHIC);
  RECT area;
  GetClientRect(control, &area);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  surface_ = std::make_unique<PixelSurface>(
      area.right, area.bottom,
      Rgb{GetRValue(face), GetGValue(face), GetBValue(face)});
  picture_.Take(*surface_);
  surface_->SetRedrawHandler([this, control] {
    picture_.Take(*surface_);
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
  });
  // One unit per pixel, origin at the lower-left corner, y upward.
  const int w = surface_->ClientWidth();
  const int h = surface_->ClientHeight();
  surface_->Attach(true);
  surface_->SetScale(0, h, w, 0);
}

void MainDialog::Command(int id, int code, bool fromControl) {
  const bool clicked = code == BN_CLICKED || code == 1;
  switch (id) {
    case IDC_CREATECELLS:
      if (clicked) CreateCells(*this, CellTarget::kScreen);
      break;
    case IDC_SAVECELLS:
      if (clicked) CreateCells(*this, CellTarget::kSave);
      break;
    case IDM_SAVEAS:
      CreateCells(*this, CellTarget::kSave);
      break;
    case IDM_OPTIONS:
      // The menu's, not the "Starting Point" frame's, which has the same number.
      if (!fromControl) OpenOptions();
      break;
    case IDM_EXIT:
      EndNow();
      break;
    case IDM_ABOUT:
      ShowMessage(dialog::AboutText(), dialog::kAboutCaption, dialog::kAboutStyle);
      break;
    default:
      break;
  }
}

void MainDialog::OpenOptions() {
  if (ending_) return;
  // A request reads the options as it starts; one at a time, as with the
  // other commands.
  if (RequestRunning()) {
    PointAtRunningRequest();
    return;
  }
  // A command that reaches the dialog while the window is open (the menu is
  // out of reach then, a posted command is not) opens no second one.
  if (optionsOpen_) return;
  optionsOpen_ = true;
  struct Reset {
    bool& open;
    ~Reset() { open = false; }
  } reset{optionsOpen_};
  RunOptionsWindow(dialog_, options_, [this](std::string_view text, std::string_view caption, unsigned style) {
    ShowMessage(text, caption, style);
  });
}

void MainDialog::RunWithProgress(const char* label, const std::function<void(Progress&)>& work) {
  ProgressWindow progress(dialog_, Wide(label));
  activeProgress_ = &progress;
  struct Reset {
    ProgressWindow*& active;
    ~Reset() { active = nullptr; }
  } reset{activeProgress_};
  work(progress);
}

void MainDialog::ShowMessage(std::string_view text, std::string_view caption, unsigned style) {
  if (ending_) return;
  // A save that fails says so at its end; its progress window goes first.
  if (activeProgress_ != nullptr) activeProgress_->CloseForGood();
  // No owner: the box is a window of its own and the dialog stays usable,
  // unless the style makes it task-modal (the About box).
  MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), style);
}

void MainDialog::EndNow() {
  if (ending_) return;
  ending_ = true;
  // Stop the running work and close what it has open; the request then
  // unwinds without showing or saving anything more (a cancelled save
  // removes its temporary files) before the dialog's loop ends.
  if (activeProgress_ != nullptr) activeProgress_->Cancel();
  ForEachOtherWindow([](HWND window) {
    // A question answers "No"; a message box with only OK, and the Save As
    // dialog, take the cancel command.
    PostMessageW(window, WM_COMMAND, GetDlgItem(window, IDNO) != nullptr ? IDNO : IDCANCEL, 0);
  });
  EndDialog(dialog_, 0);
}

void MainDialog::ForEachOtherWindow(const std::function<void(HWND)>& call) const {
  struct Search {
    const MainDialog* self;
    const std::function<void(HWND)>* call;
  } search{this, &call};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        const auto& s = *reinterpret_cast<const Search*>(data);
        const HWND progress = s.self->activeProgress_ != nullptr ? s.self->activeProgress_->Window() : nullptr;
        wchar_t kind[16] = L"";
        GetClassNameW(window, kind, 16);
        if (window != s.self->dialog_ && window != progress && std::wstring_view(kind) == L"#32770")
          (*s.call)(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
}

}  // namespace

int RunMainDialog(HINSTANCE instance) {
  MainDialog dialog;
  return dialog.Run(instance);
}

}  // namespace tavimo::win32
