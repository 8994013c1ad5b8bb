#pragma once
// What the core needs of the main dialog: its fields, its radio buttons and
// message boxes. The Qt program, the batch exporter and the tests each
// provide one.

#include <string>
#include <string_view>

namespace tavimo {

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

// Menu command identifiers.
enum MenuId : int {
  IDM_SAVEAS = 1024,
  IDM_EXIT = 1025,
  IDM_ABOUT = 1027,
};

// Message box style words: the icon, with an OK button.
enum MessageStyle : unsigned {
  kMessagePlain = 0x00,
  kMessageError = 0x10,
  kMessageWarning = 0x30,
  kMessageInformation = 0x40,
};

class MessagePort {
 public:
  virtual ~MessagePort() = default;
  // Shows a message box and returns when it has been closed.
  virtual void ShowMessage(std::string_view text, std::string_view caption, unsigned style) = 0;
};

class DialogPort : public MessagePort {
 public:
  virtual std::string GetText(int controlId) = 0;
  virtual void SetText(int controlId, std::string_view text) = 0;
  virtual bool IsChecked(int controlId) = 0;
};

}  // namespace tavimo
