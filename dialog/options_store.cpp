#include "dialog/options_store.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "output/atomic_file.h"
#include "platform/platform.h"

namespace tavimo::dialog {
namespace {

// Far beyond any file the program writes: a larger one is no file of ours.
constexpr std::size_t kLargestFile = 64 * 1024;

constexpr std::array<std::string_view, 4> kPointKeys = {"baseline-x1", "baseline-y1", "baseline-x2", "baseline-y2"};
// In the order of LabelCorner and NumberOrder; the names tavimo-export takes.
constexpr std::array<std::string_view, 4> kCornerNames = {"lower-left", "lower-right", "upper-left", "upper-right"};
constexpr std::array<std::string_view, 3> kOrderNames = {"rows", "columns", "serpentine"};

// The value `name` stands for in `names`; `to` unchanged for any other.
template <class Value, std::size_t N>
void Named(std::string_view name, const std::array<std::string_view, N>& names, Value& to) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == name) to = static_cast<Value>(i);
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c; break;
    }
  }
  return out;
}

// A backslash before anything else stays as it is: a hand-edited file
// keeps what it says.
std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '\\' && (next == '\\' || next == 'r' || next == 'n')) {
      out += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

auto LabelsPart(const OptionsChoices& c) {
  return std::tie(c.labels, c.labelTemplate, c.firstColumn, c.firstRow, c.corner, c.order, c.labelsAtCentre);
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

BlockOptions OptionsChoices::ToBlockOptions() const {
  BlockOptions options;
  options.decimals = decimals;
  if (baseline) options.baseline = baselinePoints;
  if (counts) {
    options.columns = columns;
    options.rows = rows;
  }
  if (labels) {
    options.labels = labelTemplate;
    options.firstColumn = firstColumn;
    options.firstRow = firstRow;
    options.corner = corner;
    options.order = order;
    options.labelsAtCentre = labelsAtCentre;
  }
  return options;
}

std::string OptionsFileText(const OptionsChoices& choices) {
  std::string text = "# Tavimo's choices in File > Options, kept for its next start.\n";
  auto line = [&](std::string_view key, std::string_view value) {
    text += std::string(key) + "=" + Escaped(value) + "\n";
  };
  auto onOff = [](bool on) { return on ? "on" : "off"; };
  line("decimals", onOff(choices.decimals));
  line("baseline", onOff(choices.baseline));
  for (std::size_t i = 0; i < kPointKeys.size(); ++i) line(kPointKeys[i], choices.baselinePoints[i]);
  line("counts", onOff(choices.counts));
  line("columns", choices.columns);
  line("rows", choices.rows);
  if (LabelsPart(choices) != LabelsPart(OptionsChoices{})) {
    line("labels", onOff(choices.labels));
    line("label-template", choices.labelTemplate);
    line("first-column", choices.firstColumn);
    line("first-row", choices.firstRow);
    line("corner", kCornerNames[static_cast<std::size_t>(choices.corner)]);
    line("order", kOrderNames[static_cast<std::size_t>(choices.order)]);
    line("label-centre", onOff(choices.labelsAtCentre));
  }
  if (!choices.srs.empty()) line("srs", choices.srs);
  return text;
}

OptionsChoices ParseOptionsFile(std::string_view text) {
  OptionsChoices choices;
  auto flag = [](std::string_view value, bool& to) {
    if (value == "on") to = true;
    if (value == "off") to = false;
  };
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (line.starts_with('#') || equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value = Unescaped(line.substr(equals + 1));
    if (key == "decimals") flag(value, choices.decimals);
    if (key == "baseline") flag(value, choices.baseline);
    if (key == "counts") flag(value, choices.counts);
    if (key == "columns") choices.columns = value;
    if (key == "rows") choices.rows = value;
    if (key == "labels") flag(value, choices.labels);
    if (key == "label-template") choices.labelTemplate = value;
    if (key == "first-column") choices.firstColumn = value;
    if (key == "first-row") choices.firstRow = value;
    if (key == "corner") Named(value, kCornerNames, choices.corner);
    if (key == "order") Named(value, kOrderNames, choices.order);
    if (key == "label-centre") flag(value, choices.labelsAtCentre);
    if (key == "srs") choices.srs = value;
    for (std::size_t i = 0; i < kPointKeys.size(); ++i)
      if (key == kPointKeys[i]) choices.baselinePoints[i] = value;
  }
  if (std::any_of(choices.baselinePoints.begin(), choices.baselinePoints.end(), IsBlank)) choices.baseline = false;
  if (IsBlank(choices.columns) || IsBlank(choices.rows)) choices.counts = false;
  if (IsBlank(choices.labelTemplate) || IsBlank(choices.firstColumn) || IsBlank(choices.firstRow))
    choices.labels = false;
  return choices;
}

OptionsStore::OptionsStore(std::string folder)
    : folder_(std::move(folder)),
      path_(folder_.empty() ? std::string() : platform::PathInFolder(folder_, kOptionsFileName)) {}

void OptionsStore::Load() {
  choices_ = {};
  std::string text;
  if (path_.empty() || platform::ReadSmallFile(path_, kLargestFile, text) != 0) return;
  choices_ = ParseOptionsFile(text);
}

std::string OptionsStore::Save(const OptionsChoices& choices) {
  choices_ = choices;
  if (path_.empty()) return "The system names no folder for settings";
  const std::string text = OptionsFileText(choices);
  AtomicFile file;
  const int made = platform::MakeFolders(folder_);
  if (made != 0) return "Could not make the folder " + folder_ + ": " + platform::ErrorText(made);
  AtomicFile* const files[] = {&file};
  if (!file.Open(path_) || !file.Write(text.data(), text.size()) || !file.Close() || CommitFiles(files) != nullptr)
    return "Could not write " + path_ + ": " + platform::ErrorText(file.error());
  return {};
}

}  // namespace tavimo::dialog
