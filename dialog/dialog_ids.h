#pragma once
// The main dialog's identity: its control and menu command identifiers and
// the style words of its message boxes. The core knows none of them; this
// folder maps the core's fields and notices onto them.

#include "model/block_fields.h"
#include "model/notice.h"

namespace tavimo::dialog {

// Control identifiers of the main dialog.
enum ControlId : int {
  IDC_CREATECELLS = 1001,
  IDC_STARTX = 1003,
  IDC_STARTY = 1004,
  IDC_LABELX = 1005,
  IDC_LABELY = 1006,
  IDC_WIDTHTOTAL = 1007,
  IDC_HEIGHTTOTAL = 1008,
  IDC_WIDTHCELL = 1009,
  IDC_HEIGHTCELL = 1010,
  IDC_LABELWIDTHTOTAL = 1011,
  IDC_LABELWIDTHCELL = 1012,
  IDC_LABELHEIGHTTOTAL = 1013,
  IDC_LABELHEIGHTCELL = 1014,
  IDC_ANGLE = 1019,
  IDC_GRAPHIC = 1021,
  IDC_SAVECELLS = 1022,
  IDC_LABELANGLE = 1023,
  IDC_FRAMESTARTPOINT = 1028,
  IDC_FRAMEPROPERTIES = 1029,
  IDC_FRAMEBUTTONS = 1030,
  IDC_FRAMECELLBLOCK = 1032,
  IDC_CLOCKWISE = 1033,
  IDC_COUNTERCLOCKWISE = 1034,
  IDC_FRAMEROTATION = 1035,
};

// Menu command identifiers. IDM_OPTIONS shares its number with the
// "Starting Point" frame, which sends no commands; Windows tells a menu's
// command from a control's by the control's window.
enum MenuId : int {
  IDM_SAVEAS = 1024,
  IDM_EXIT = 1025,
  IDM_ABOUT = 1027,
  IDM_OPTIONS = 1028,
};

// Control identifiers of the Options window. OK and Cancel have the numbers
// Windows gives them, so that Enter and Escape press them there.
enum OptionsControlId : int {
  IDC_OPTIONSOK = 1,
  IDC_OPTIONSCANCEL = 2,
  IDC_DECIMALS = 1101,
  IDC_BASELINE = 1102,
  IDC_BASELINEX1 = 1103,
  IDC_BASELINEY1 = 1104,
  IDC_BASELINEX2 = 1105,
  IDC_BASELINEY2 = 1106,
  IDC_COUNTS = 1107,
  IDC_COLUMNS = 1108,
  IDC_ROWS = 1109,
  IDC_LABELX1 = 1111,
  IDC_LABELY1 = 1112,
  IDC_LABELX2 = 1113,
  IDC_LABELY2 = 1114,
  IDC_LABELCOLUMNS = 1115,
  IDC_LABELROWS = 1116,
  IDC_LABELS = 1117,
  IDC_TEMPLATE = 1118,
  IDC_FIRSTCOLUMN = 1119,
  IDC_FIRSTROW = 1120,
  IDC_CORNER = 1121,
  IDC_ORDER = 1122,
  IDC_LABELSCENTRE = 1123,
  IDC_LABELTEMPLATE = 1124,
  IDC_LABELFIRSTCOLUMN = 1125,
  IDC_LABELFIRSTROW = 1126,
  IDC_LABELCORNER = 1127,
  IDC_LABELORDER = 1128,
  IDC_LABELSRS = 1129,
  IDC_SRS = 1130,
};

// Message box style words: the icon, with an OK button.
enum MessageStyle : unsigned {
  kMessagePlain = 0x00,
  kMessageError = 0x10,
  kMessageWarning = 0x30,
  kMessageInformation = 0x40,
};

// The text box a field is typed into.
constexpr int ControlOf(Field field) {
  switch (field) {
    case Field::kStartX: return IDC_STARTX;
    case Field::kStartY: return IDC_STARTY;
    case Field::kWidthTotal: return IDC_WIDTHTOTAL;
    case Field::kHeightTotal: return IDC_HEIGHTTOTAL;
    case Field::kWidthCell: return IDC_WIDTHCELL;
    case Field::kHeightCell: return IDC_HEIGHTCELL;
    case Field::kAngle: return IDC_ANGLE;
  }
  return 0;
}

constexpr unsigned StyleOf(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::kInformation: return kMessageInformation;
    case NoticeIcon::kWarning: return kMessageWarning;
    case NoticeIcon::kError: return kMessageError;
    case NoticeIcon::kNone: break;
  }
  return kMessagePlain;
}

}  // namespace tavimo::dialog
