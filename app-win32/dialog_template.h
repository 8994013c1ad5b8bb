#pragma once
// In-memory dialog templates (DLGTEMPLATEEX): the windows of the program
// are laid out in dialog units, so they follow the dialog font as a
// resource-built dialog would.

#include <windows.h>

#include <string_view>
#include <vector>

namespace tavimo::win32 {

// The predefined window classes a template names by number.
enum class ControlClass : WORD { kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kComboBox = 0x0085 };

class DialogTemplate {
 public:
  // The dialog itself; DS_SETFONT is added, with the font given.
  DialogTemplate(DWORD style, DWORD exStyle, short x, short y, short width, short height,
                 std::wstring_view caption, std::wstring_view font, WORD pointSize);

  void Add(int id, ControlClass kind, std::wstring_view text, DWORD style, DWORD exStyle, short x, short y,
           short width, short height);
  // A control of a registered class named by its class name.
  void Add(int id, std::wstring_view className, std::wstring_view text, DWORD style, DWORD exStyle, short x,
           short y, short width, short height);

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void AlignToDword();
  void Put(WORD word) { words_.push_back(word); }
  void PutDword(DWORD value);
  void PutText(std::wstring_view text);
  void AddItem(int id, DWORD style, DWORD exStyle, short x, short y, short width, short height);

  // Words, since every field of a template is a whole number of them;
  // std::vector's storage is aligned for the DWORD fields.
  std::vector<WORD> words_;
  std::size_t countAt_ = 0;
};

}  // namespace tavimo::win32
