#pragma once
// A message for the user, as the core hands it to a front end: what it is
// about, its icon, caption and text. Each front end decides how to show it
// (a message box in the dialog, a line on standard error in the exporter).

#include <string>

namespace tavimo {

enum class NoticeId {
  kWidthChanged,     // a total was made a whole multiple of its cell size
  kHeightChanged,
  kWrongAngle,       // the request ends
  kValueOutOfRange,  // a field's rounded value does not fit 32 bits
  kStartNotFinite,   // X or Y is infinite or not a number
  kStartOutOfRange,  // X or Y beyond what a double (and so any reader) holds
  kWrongOption,      // a baseline, count or extent that makes no block
  kUnknownFileType,
  kSaveRefused,      // the chosen format cannot hold this block
  kSaveFailed,
};

enum class NoticeIcon { kNone, kInformation, kWarning, kError };

struct Notice {
  NoticeId id;
  NoticeIcon icon;
  std::string caption;
  std::string text;
  bool operator==(const Notice&) const = default;
};

}  // namespace tavimo
