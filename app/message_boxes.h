#pragma once
// Message box texts and styles of the program.

#include <QMessageBox>
#include <QString>
#include <string>
#include <string_view>

#include "dialog/dialog_texts.h"

namespace tavimo::app {

// The icon of a style word: 0x10 critical, 0x30 warning, 0x40 information, else none.
QMessageBox::Icon IconForStyle(unsigned style);

// Widens the box's text so that each of its lines shows unbroken, as far as
// the screen's width allows (Qt itself breaks lines beyond 500 pixels).
void KeepLinesWhole(QMessageBox& box);

// Text as the program holds it (UTF-8, CR LF line ends) turned into what a
// Qt label shows: plain newlines.
QString DisplayText(std::string_view text);

}  // namespace tavimo::app
