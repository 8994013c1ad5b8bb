#pragma once
// The Save As dialog behind the save command.

#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace tavimo::app {

// "Name|pattern|Name|pattern..." as Qt name filters: "Name (pattern)".
// "*.*" means every file, also one without a dot, so it becomes "*".
QStringList NameFiltersFrom(std::string_view filter);

// Runs a Save As dialog over `owner` in the current working directory with
// `initialName` in the name field, the first filter selected, the default
// extension appended to a name without one, and a question before an
// existing file is replaced. The chosen absolute path, or nothing on cancel.
std::optional<std::string> RunSaveDialog(QWidget* owner, std::string_view initialName,
                                         std::string_view filter, std::string_view defaultExtension);

}  // namespace tavimo::app
