#include "app-win32/main_layout.h"

#include <span>

#include "platform/wide_text.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_layout.h"
#include "dialog/options_window.h"

namespace tavimo::win32 {
namespace {

using namespace dialog;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// The complete style word of each kind of control. No control starts a
// group (WS_GROUP): the two radio buttons exclude each other across the
// whole dialog.
DWORD StyleOf(const ControlDef& c) {
  switch (c.kind) {
    case ControlKind::kPushButton: {
      DWORD style = kChild | WS_TABSTOP | BS_PUSHBUTTON;
      // "Save Cells" names its centring; a push button centres its text either way.
      if (c.id == IDC_SAVECELLS) style |= BS_CENTER | BS_VCENTER;
      if (!c.enabled) style |= WS_DISABLED;
      return style;
    }
    case ControlKind::kDefaultButton: return kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
    case ControlKind::kTextBox: return kChild | WS_TABSTOP | ES_AUTOHSCROLL;
    case ControlKind::kLabel: return kChild | SS_LEFT;
    case ControlKind::kGroupBox: return kChild | BS_GROUPBOX;
    case ControlKind::kRadioButton: return kChild | WS_TABSTOP | BS_AUTORADIOBUTTON;
    case ControlKind::kCheckBox: return kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
    case ControlKind::kPreview: return kChild | SS_OWNERDRAW;  // no SS_NOTIFY: clicks mean nothing
    case ControlKind::kDropDown: return kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  }
  return kChild;
}

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kTextBox: return ControlClass::kEdit;
    case ControlKind::kLabel:
    case ControlKind::kPreview: return ControlClass::kStatic;
    case ControlKind::kDropDown: return ControlClass::kComboBox;
    default: return ControlClass::kButton;
  }
}

// A combo box's height in a template includes its open list: room for the
// few items of the program's lists without a scroll bar.
constexpr int kOpenListDu = 48;

// The table's order is the creation, stacking and tab order.
void AddControls(DialogTemplate& t, std::span<const ControlDef> controls) {
  for (const ControlDef& c : controls) {
    const DWORD exStyle = c.kind == ControlKind::kTextBox ? WS_EX_CLIENTEDGE | WS_EX_RIGHT : 0;
    const int height = c.kind == ControlKind::kDropDown ? c.height + kOpenListDu : c.height;
    t.Add(c.id, ClassOf(c.kind), Wide(c.text), StyleOf(c), exStyle, static_cast<short>(c.x),
          static_cast<short>(c.y), static_cast<short>(c.width), static_cast<short>(height));
  }
}

}  // namespace

DialogTemplate MainDialogTemplate() {
  // Shown by DialogBox when it runs, not before; no maximize box and no
  // sizing border.
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                      DS_NOFAILCREATE | DS_3DLOOK;
  DialogTemplate t(style, WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE, kDialogXDu, kDialogYDu, kDialogWidthDu,
                   kDialogHeightDu, Wide(kDialogCaption), L"MS Sans Serif", 8);
  AddControls(t, DialogControls());
  return t;
}

DialogTemplate OptionsDialogTemplate() {
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;
  DialogTemplate t(style, WS_EX_CONTROLPARENT, 0, 0, kOptionsWidthDu, kOptionsHeightDu, Wide(kOptionsCaption),
                   L"MS Sans Serif", 8);
  AddControls(t, OptionsControls());
  return t;
}

HMENU CreateMenuBar() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, IDM_SAVEAS, L"&Save As");
  AppendMenuW(file, MF_STRING, IDM_OPTIONS, Wide(kOptionsMenuText).c_str());
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, IDM_EXIT, L"E&xit");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, IDM_ABOUT, L"About");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
  return bar;
}

}  // namespace tavimo::win32
