#include "app/message_boxes.h"

#include <array>

#include "tavimo_version.h"

namespace tavimo::app {

QMessageBox::Icon IconForStyle(unsigned style) {
  switch (style & 0xF0u) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

std::string AboutText() {
  const std::array<std::string, 6> lines{
      "Cell Block generator utility.",
      "Version " + std::string(kTavimoVersion),
      "Copyright (C) 2026 The Tavimo authors",
      "",
      "tavimo@example.org",
      "https://tavimo.example.org",
  };
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

QString DisplayText(std::string_view text) {
  // UTF-8: the texts name paths as the file system names them.
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace tavimo::app
