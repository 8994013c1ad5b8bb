#pragma once
// The choices of the Options window, remembered between runs in a small
// text file of key=value lines in the user's settings folder
// (platform::SettingsFolder). The texts stay exactly as typed: no number is
// read or written here, so no locale can touch one.

#include <array>
#include <string>
#include <string_view>

#include "model/label_scheme.h"
#include "model/read_block.h"

namespace tavimo::dialog {

// What the Options window holds. Each option keeps its texts while it is
// off, so that turning it on again brings them back.
struct OptionsChoices {
  bool decimals = false;
  bool baseline = false;
  std::array<std::string, 4> baselinePoints;  // X1, Y1, X2, Y2
  bool counts = false;
  std::string columns;
  std::string rows;
  // The labels part: the template and first numbers as typed, and how
  // the cells are counted.
  bool labels = false;
  std::string labelTemplate{kColumnRowTemplate};
  std::string firstColumn = "1";
  std::string firstRow = "1";
  LabelCorner corner = LabelCorner::kLowerLeft;
  NumberOrder order = NumberOrder::kRows;
  bool labelsAtCentre = false;
  // The coordinate reference system of the GIS saves, as --srs takes it;
  // empty: none.
  std::string srs;

  bool operator==(const OptionsChoices&) const = default;

  // As the block is read with them: an option that is off is absent.
  BlockOptions ToBlockOptions() const;
};

// The file's text: one key=value line each, line ends LF. A backslash, CR
// or LF in a value is written \\, \r, \n. The labels part, and the
// coordinate system, have lines only once they differ from their defaults:
// untouched, the file stays as it has always been written.
std::string OptionsFileText(const OptionsChoices& choices);
// The choices a file's text gives. Lines of unknown keys, or with values
// that mean nothing for their key, are passed over; an option with an empty
// field (which the window would not have let through) is off.
OptionsChoices ParseOptionsFile(std::string_view text);

inline constexpr std::string_view kOptionsFileName = "options.conf";

class OptionsStore {
 public:
  // The file in `folder`; an empty folder keeps the choices for the run
  // only, and saving them says so.
  explicit OptionsStore(std::string folder);

  // Reads the file; a missing, unreadable or oversized one leaves every
  // option off.
  void Load();
  const OptionsChoices& Choices() const { return choices_; }
  // Takes `choices` for the rest of the run and writes them to the file,
  // which is replaced only once complete. "" when written, else what
  // failed, for the user; the choices hold either way.
  [[nodiscard]] std::string Save(const OptionsChoices& choices);
  const std::string& Path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
  OptionsChoices choices_;
};

}  // namespace tavimo::dialog
