#include "dialog/dialog_texts.h"

#include <array>

#include "tavimo_version.h"

namespace tavimo::dialog {

std::string AboutText() {
  const std::array<std::string, 6> lines{
      "Cell Block generator utility.",
      "Version " + std::string(kTavimoVersion),
      "Copyright (C) 2026 The Tavimo authors, MIT License",
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

std::string ReplaceQuestion(const std::vector<std::string>& existingNames) {
  if (existingNames.size() == 1) return existingNames[0] + " already exists.\r\nDo you want to replace it?";
  std::string names;
  for (std::size_t i = 0; i + 1 < existingNames.size(); ++i) {
    if (i > 0) names += ", ";
    names += existingNames[i];
  }
  return names + " and " + existingNames.back() + " already exist.\r\nDo you want to replace them?";
}

}  // namespace tavimo::dialog
