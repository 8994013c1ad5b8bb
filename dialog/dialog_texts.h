#pragma once
// Texts and message styles of the dialog that both front ends (Qt and
// Win32) show: plain C++, so neither keeps a copy of its own.

#include <string>
#include <string_view>
#include <vector>

namespace tavimo::dialog {

// Style bit of a box that blocks the whole program until it is closed.
inline constexpr unsigned kMessageTaskModal = 0x2000;
inline constexpr unsigned kAboutStyle = kMessageTaskModal | 0x40;
inline constexpr std::string_view kAboutCaption = "About Tavimo";

// The About text: six lines joined by CR LF, the fourth empty, no final line end.
std::string AboutText();

// The labels of the progress window of a long preview or save.
inline constexpr const char* kDrawingLabel = "Drawing cells...";
inline constexpr const char* kSavingLabel = "Saving cells...";

// The one question before a save replaces existing files, naming each of
// them (file names, not paths); lines end in CR LF.
std::string ReplaceQuestion(const std::vector<std::string>& existingNames);

}  // namespace tavimo::dialog
