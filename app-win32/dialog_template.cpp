#include "app-win32/dialog_template.h"

namespace tavimo::win32 {

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle, short x, short y, short width, short height,
                               std::wstring_view caption, std::wstring_view font, WORD pointSize) {
  Put(1);       // dlgVer
  Put(0xFFFF);  // signature: the extended form
  PutDword(0);  // helpID
  PutDword(exStyle);
  PutDword(style | DS_SETFONT);
  countAt_ = words_.size();
  Put(0);  // cDlgItems, counted by Add
  for (short v : {x, y, width, height}) Put(static_cast<WORD>(v));
  Put(0);  // no menu: the program attaches its own
  Put(0);  // the standard dialog class
  PutText(caption);
  Put(pointSize);
  Put(FW_NORMAL);
  Put(0);  // not italic, default character set
  PutText(font);
}

void DialogTemplate::Add(int id, ControlClass kind, std::wstring_view text, DWORD style, DWORD exStyle, short x,
                         short y, short width, short height) {
  AddItem(id, style, exStyle, x, y, width, height);
  Put(0xFFFF);
  Put(static_cast<WORD>(kind));
  PutText(text);
  Put(0);  // no creation data
}

void DialogTemplate::Add(int id, std::wstring_view className, std::wstring_view text, DWORD style, DWORD exStyle,
                         short x, short y, short width, short height) {
  AddItem(id, style, exStyle, x, y, width, height);
  PutText(className);
  PutText(text);
  Put(0);
}

void DialogTemplate::AddItem(int id, DWORD style, DWORD exStyle, short x, short y, short width, short height) {
  AlignToDword();
  PutDword(0);  // helpID
  PutDword(exStyle);
  PutDword(style);
  for (short v : {x, y, width, height}) Put(static_cast<WORD>(v));
  PutDword(static_cast<DWORD>(id));
  ++words_[countAt_];
}

void DialogTemplate::AlignToDword() {
  if (words_.size() % 2 != 0) Put(0);
}

void DialogTemplate::PutDword(DWORD value) {
  Put(LOWORD(value));
  Put(HIWORD(value));
}

void DialogTemplate::PutText(std::wstring_view text) {
  for (wchar_t c : text) Put(static_cast<WORD>(c));
  Put(0);
}

}  // namespace tavimo::win32
