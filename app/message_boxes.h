#pragma once
// Message box texts and styles of the program.

#include <QMessageBox>
#include <QString>
#include <string>
#include <string_view>

namespace tavimo::app {

// Style bit of a box that blocks the whole program until it is closed.
inline constexpr unsigned kMessageTaskModal = 0x2000;
inline constexpr unsigned kAboutStyle = kMessageTaskModal | 0x40;
inline constexpr std::string_view kAboutCaption = "About Tavimo";

// The icon of a style word: 0x10 critical, 0x30 warning, 0x40 information, else none.
QMessageBox::Icon IconForStyle(unsigned style);

// The About text: six lines joined by CR LF, the fourth empty, no final line end.
std::string AboutText();

// Widens the box's text so that each of its lines shows unbroken, as far as
// the screen's width allows (Qt itself breaks lines beyond 500 pixels).
void KeepLinesWhole(QMessageBox& box);

// Text as the program holds it (UTF-8, CR LF line ends) turned into what a
// Qt label shows: plain newlines.
QString DisplayText(std::string_view text);

}  // namespace tavimo::app
