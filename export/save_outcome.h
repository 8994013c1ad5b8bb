#pragma once
// How a save ended, whatever its format: the one outcome type of the
// writers, the GIS module and the save command.

#include <string>

namespace tavimo {

struct SaveOutcome {
  enum class Kind { kSaved, kCancelled, kUnknownType, kRefused, kFailed };
  Kind kind = Kind::kSaved;
  std::string path;    // kFailed: the file that could not be written
  int error = 0;       // kFailed: the errno value, when there is one
  std::string reason;  // kRefused: why (a sentence for the user); kFailed: why, shown without an errno
  bool operator==(const SaveOutcome&) const = default;
};

}  // namespace tavimo
