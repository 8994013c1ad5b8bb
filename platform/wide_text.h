#pragma once
// Windows only. The program holds text as UTF-8; Windows' wide calls take
// UTF-16. These two convert at the edge, where a text meets a Windows call:
// in the platform file and in the Windows dialog.

#include <string>
#include <string_view>

namespace tavimo::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace tavimo::win32
