// "Save Cells" with anything in the fields: the seven field texts and the
// direction as arbitrary bytes go through ReadBlock, and the block it
// gives is saved as DXF and as CHT with its RWS file into a scratch
// folder. Nothing may crash or trip a sanitizer, the files must be
// complete, and every number line must read back as a finite number; each
// coordinate must carry exactly the 15 digits that an independent
// reference (fuzz/number_check.h) gives for the layout's value.
//
// Input (FuzzedDataProvider): the last byte is the direction (bit 0
// "Clockwise", bit 1 "Counter Clockwise" checked); before it the seven texts
// X, Y, Width Total, Height Total, Width Cell, Height Cell, Angle, each ended
// by a backslash and one other byte (a doubled backslash is a backslash).
//
// Bounding the work: a field of "2147483647" with a cell of 1 asks for
// billions of lines, which no fuzzer run can afford to write. Blocks of
// more than kMaxSavedItems grid lines and labels are therefore not saved;
// their extreme items (first and last lines of each family, first and last
// label) are formatted and checked instead, which covers the largest
// coordinates that such a block can produce. Cancelling the save through
// Progress would not help: Progress hears of the work only every few
// thousand items, and a cancelled save leaves no file to check.

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "export/save_block.h"
#include "fuzz/number_check.h"
#include "model/block_layout.h"
#include "model/read_block.h"
#include "number/number_text.h"

namespace {

using namespace tavimo;
using fuzz::Describe;
using fuzz::NumberShape;
using fuzz::ParseNumberText;
using fuzz::ReadBack;
using fuzz::Reference;

constexpr std::uint64_t kMaxSavedItems = 300;
constexpr std::size_t kMaxFieldLength = 80;

std::string scratch;  // the folder the files go to

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> Lines(const std::string& bytes, const std::string& name) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) Fail(name + ": last line without CR LF");
    lines.push_back(bytes.substr(start, end - start));
    if (lines.back().find_first_of("\r\n") != std::string::npos) Fail(name + ": stray CR or LF");
    start = end + 2;
  }
  return lines;
}

// One number text with `digits` digits: the right shape and a finite value.
long double Number(const std::string& text, int digits, const std::string& where) {
  std::string why;
  if (!ParseNumberText(text, digits, &why)) Fail(where + ": \"" + text + "\": " + why);
  const auto value = ReadBack(text);
  if (!value) Fail(where + ": \"" + text + "\" does not read back as a finite number");
  if (!std::isfinite(static_cast<double>(*value))) Fail(where + ": \"" + text + "\" is beyond the range of a double");
  return *value;
}

// A coordinate as written, with where it was found.
struct Written {
  std::string text, where;
};

// Takes a point line "x y", or a cell line "x y column-row" when `cell` is
// given, apart.
void PointLine(const std::string& line, std::vector<Written>& numbers, const std::string& where,
               std::string* cell = nullptr) {
  std::size_t start = 0;
  for (int k = 0; k < 2; ++k) {
    const std::size_t end = line.find(' ', start + 1);
    numbers.push_back({line.substr(start, end == std::string::npos ? std::string::npos : end - start), where});
    if (end == std::string::npos) {
      if (k == 0 || cell != nullptr) Fail(where + ": too few items in \"" + line + "\"");
      return;
    }
    start = end + 1;
  }
  if (cell == nullptr) Fail(where + ": too many items in \"" + line + "\"");
  *cell = line.substr(start);
}

// What the layout computed, in file order.
struct Computed {
  std::vector<long double> lines;   // x1 y1 x2 y2 of each grid line
  std::vector<long double> labels;  // x y of each label
  std::vector<std::string> cells;   // "column-row" of each label
};

Computed FromLayout(const BlockLayout& layout) {
  Computed c;
  layout.WalkGridLines([&](const GridLine& g) {
    c.lines.insert(c.lines.end(), {g.startX, g.startY, g.endX, g.endY});
    return true;
  });
  layout.WalkCellLabels([&](const CellLabel& l) {
    c.labels.insert(c.labels.end(), {l.x, l.y});
    c.cells.push_back(std::to_string(l.column) + "-" + std::to_string(l.row));
    return true;
  });
  return c;
}

// Every coordinate must read back as a finite number and carry exactly the
// 15 digits of the computed value (by the independent reference).
void Compare(const std::vector<Written>& got, const std::vector<long double>& want, const std::string& what) {
  if (got.size() != want.size())
    Fail(what + ": " + std::to_string(got.size()) + " numbers, expected " + std::to_string(want.size()));
  for (std::size_t i = 0; i < got.size(); ++i) {
    Number(got[i].text, 15, got[i].where);
    std::string why;
    const NumberShape shape = *ParseNumberText(got[i].text, 15, &why);
    const NumberShape expected = Reference(want[i], 15);
    if (shape.negative != expected.negative || shape.digits != expected.digits || shape.point != expected.point)
      Fail(got[i].where + ": \"" + got[i].text + "\" is " + Describe(shape) + ", computed " + Describe(expected));
  }
}

void CheckDxf(const std::string& path, const BlockLayout& layout) {
  const std::vector<std::string> lines = Lines(ReadFile(path), "DXF");
  if (lines.size() % 2 != 0) Fail("DXF: odd number of lines");
  struct Group {
    int code;
    std::string value, where;
  };
  std::vector<Group> groups;
  for (std::size_t i = 0; i < lines.size(); i += 2) {
    const std::string where = "DXF line " + std::to_string(i + 1);
    const std::string& item = lines[i];
    if (item.size() < 3 || item.back() != ' ') Fail(where + ": group code without its trailing blank");
    const long double code = Number(item.substr(0, item.size() - 1), 7, where);
    if (code != std::floor(code) || code < 0 || code > 999) Fail(where + ": group code is no DXF code");
    groups.push_back({static_cast<int>(code), lines[i + 1], "DXF line " + std::to_string(i + 2)});
  }

  // The groups each entity must have, in this order, after its (0, type).
  static const std::vector<int> kLine = {8, 62, 10, 20, 30, 11, 21, 31};
  static const std::vector<int> kText = {8, 62, 10, 20, 30, 1, 40, 50, 7};
  auto is = [&](std::size_t k, int code, const char* value) {
    return k < groups.size() && groups[k].code == code && groups[k].value == value;
  };
  if (!is(0, 0, "SECTION") || !is(1, 2, "ENTITIES")) Fail("DXF: no ENTITIES section at the start");
  std::vector<Written> lineCoordinates, labelCoordinates;
  std::vector<std::string> cells;
  std::size_t k = 2;
  while (k < groups.size() && groups[k].code == 0 && (groups[k].value == "LINE" || groups[k].value == "TEXT")) {
    const bool text = groups[k].value == "TEXT";
    const std::vector<int>& codes = text ? kText : kLine;
    if (k + codes.size() >= groups.size()) Fail("DXF: entity cut short");
    for (std::size_t g = 0; g < codes.size(); ++g) {
      const Group& group = groups[k + 1 + g];
      if (group.code != codes[g]) Fail(group.where + ": group " + std::to_string(group.code) + " out of place");
      switch (group.code) {
        case 10: case 20: case 11: case 21:
          (text ? labelCoordinates : lineCoordinates).push_back({group.value, group.where});
          break;
        case 30: case 31:
          if (group.value != "0") Fail(group.where + ": Z is \"" + group.value + "\"");
          break;
        case 40: case 50: case 62:
          if (group.value.size() < 3 || group.value.back() != ' ') Fail(group.where + ": item without its blank");
          Number(group.value.substr(0, group.value.size() - 1), group.code == 62 ? 15 : 7, group.where);
          break;
        case 1:
          cells.push_back(group.value);
          break;
      }
    }
    k += 1 + codes.size();
  }
  if (!is(k, 0, "ENDSEC") || !is(k + 1, 0, "EOF") || k + 2 != groups.size())
    Fail("DXF: no ENDSEC and EOF right after the entities");

  const Computed computed = FromLayout(layout);
  Compare(lineCoordinates, computed.lines, "DXF LINE coordinates");
  Compare(labelCoordinates, computed.labels, "DXF TEXT coordinates");
  if (cells != computed.cells) Fail("DXF: cell numbers differ from the layout's");
}

void CheckCht(const std::string& chtPath, const std::string& rwsPath, const BlockLayout& layout) {
  const Computed computed = FromLayout(layout);

  const std::vector<std::string> cht = Lines(ReadFile(chtPath), "CHT");
  if (cht.empty() || cht[0] != "7 0" || cht.size() % 3 != 1) Fail("CHT: bad header or record count");
  std::vector<Written> lineCoordinates;
  for (std::size_t i = 1; i < cht.size(); i += 3) {
    if (cht[i] != "0      0") Fail("CHT line " + std::to_string(i + 1) + ": bad record start");
    PointLine(cht[i + 1], lineCoordinates, "CHT line " + std::to_string(i + 2));
    PointLine(cht[i + 2], lineCoordinates, "CHT line " + std::to_string(i + 3));
  }
  Compare(lineCoordinates, computed.lines, "CHT coordinates");

  const std::vector<std::string> rws = Lines(ReadFile(rwsPath), "RWS");
  const std::vector<std::string> trailer = {" 0 ", "ENDSEC", " 0 ", "EOF"};
  if (rws.size() < 4 || std::vector<std::string>(rws.end() - 4, rws.end()) != trailer)
    Fail("RWS: no closing lines");
  std::vector<Written> labelCoordinates;
  for (std::size_t i = 0; i + 4 < rws.size(); ++i) {
    const std::string where = "RWS line " + std::to_string(i + 1);
    std::string cell;
    PointLine(rws[i], labelCoordinates, where, &cell);
    if (i >= computed.cells.size() || cell != " " + computed.cells[i]) Fail(where + ": cell number");
  }
  Compare(labelCoordinates, computed.labels, "RWS coordinates");
}

std::vector<std::string> FolderNames() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(scratch.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

void SaveAndCheck(const CellBlock& spec, const BlockLayout& layout) {
  const std::string dxf = scratch + "/block.dxf", cht = scratch + "/block.cht", rws = scratch + "/block.rws";
  if (SaveBlockTo(dxf, spec).kind != SaveOutcome::Kind::kSaved) Fail("DXF save did not succeed");
  if (SaveBlockTo(cht, spec).kind != SaveOutcome::Kind::kSaved) Fail("CHT save did not succeed");
  if (FolderNames().size() != 3) Fail("the folder holds other files than the three saved: a temporary left over?");
  CheckDxf(dxf, layout);
  CheckCht(cht, rws, layout);
  for (const std::string& path : {dxf, cht, rws}) unlink(path.c_str());
}

// For a block too large to save: its extreme items, formatted as the
// writers do.
void CheckExtremes(const BlockLayout& layout) {
  std::vector<long double> values;
  auto add = [&](const GridLine& g) { values.insert(values.end(), {g.startX, g.startY, g.endX, g.endY}); };
  if (layout.columnCount() >= 0) {
    add(layout.ColumnLine(0));
    add(layout.ColumnLine(layout.columnCount()));
  }
  if (layout.rowCount() >= 0) {
    add(layout.RowLine(0));
    add(layout.RowLine(layout.rowCount()));
  }
  if (layout.labelCount() > 0) {
    for (const CellLabel& c : {layout.Label(0, 0), layout.Label(layout.columnCount() - 1, layout.rowCount() - 1)}) {
      values.insert(values.end(), {c.x, c.y});
      Number(NumberString(static_cast<long double>(c.column)), 15, "column");
    }
  }
  std::vector<Written> written;
  for (const long double v : values) {
    if (!std::isfinite(v)) Fail("a layout coordinate is not finite");
    written.push_back({NumberString(v), "an extreme item"});
  }
  Compare(written, values, "extreme items");
}

// Every notice is one the reading may give, and a refusal's comes last.
void CheckNotices(const BlockReading& reading) {
  for (std::size_t i = 0; i < reading.notices.size(); ++i) {
    const Notice& n = reading.notices[i];
    const bool correction = n.id == NoticeId::kWidthChanged || n.id == NoticeId::kHeightChanged;
    if (correction && n.caption != "Size changed...") Fail("a correction with caption \"" + n.caption + "\"");
    if (!correction && i + 1 != reading.notices.size()) Fail("a refusal's notice before the last");
    if (!correction && !reading.refusal) Fail("a refusal's notice without a refusal");
  }
  if (reading.refusal.has_value() == reading.block.has_value()) Fail("both or neither of a block and a refusal");
  if (reading.refusal && reading.notices.empty()) Fail("a refusal that tells the user nothing");
}

// A block read with options: any texts give a block or a refusal, a block
// with finite points and 32-bit counts, saved as the writers check it when
// small; totals written back read as the same block, quietly.
int WithOptions(FieldTexts& fields, std::uint8_t chosen, FuzzedDataProvider& input) {
  BlockOptions options;
  options.decimals = (chosen & 1) != 0;
  auto text = [&] { return input.ConsumeRandomLengthString(kMaxFieldLength); };
  if ((chosen & 2) != 0) options.baseline = {text(), text(), text(), text()};
  if ((chosen & 4) != 0) options.columns = text();
  if ((chosen & 8) != 0) options.rows = text();
  if ((chosen & 16) != 0) options.extent = {text(), text(), text(), text()};
  const BlockReading reading = ReadBlock(fields, options);
  CheckNotices(reading);
  if (!reading.block) return 0;
  const CellBlock& block = *reading.block;
  if (!(std::fabs(block.startX) <= 1E308L) || !(std::fabs(block.startY) <= 1E308L))
    Fail("starting point beyond the range of a double");
  if (block.columnCount > kLargestCount || block.rowCount > kLargestCount) Fail("a count beyond 32 bits");
  const BlockLayout layout(block);
  if (layout.lineCount() + layout.labelCount() <= kMaxSavedItems) {
    SaveAndCheck(block, layout);
  } else {
    CheckExtremes(layout);
  }
  if (options.extent) return 0;  // the totals are worked out, not read
  for (const Correction& correction : reading.corrections) fields[correction.field] = correction.text;
  const BlockReading again = ReadBlock(fields, options);
  if (!again.block || !again.notices.empty()) Fail("the written-back totals are refused or corrected again");
  const CellBlock& b = *again.block;
  if (b.widthTotal != block.widthTotal || b.heightTotal != block.heightTotal ||
      b.columnCount != block.columnCount || b.rowCount != block.rowCount)
    Fail("the written-back totals read back as another block");
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // tmpfs if there is one: every save syncs its files.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tavimo-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("no scratch folder");
  scratch = pattern;
  std::atexit([] { rmdir(scratch.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FieldTexts fields;
  const std::uint8_t direction = input.ConsumeIntegral<std::uint8_t>();
  fields.clockwise = (direction & 1) != 0;
  fields.counterClockwise = (direction & 2) != 0;
  for (const FieldInfo& info : kFields) fields[info.field] = input.ConsumeRandomLengthString(kMaxFieldLength);

  const std::uint8_t chosen = input.ConsumeIntegral<std::uint8_t>();
  if (chosen != 0) return WithOptions(fields, chosen, input);

  const BlockReading reading = ReadBlock(fields);
  CheckNotices(reading);
  if (!reading.spec) return 0;

  const BlockSpec& spec = *reading.spec;
  const bool clockwiseAngle = spec.angle >= 0 && spec.angle <= 90;
  const bool counterAngle = spec.angle >= 270 && spec.angle <= 360;
  if (!(clockwiseAngle || counterAngle)) Fail("angle out of range: " + std::to_string(spec.angle));
  // Beyond a double's range no reader of the files could hold the numbers.
  if (!(std::fabs(spec.startX) <= 1E308L) || !(std::fabs(spec.startY) <= 1E308L))
    Fail("starting point beyond the range of a double");
  if (spec.widthCell != 0 && std::int64_t{spec.widthTotal} % spec.widthCell != 0) Fail("width total not fitted");
  if (spec.heightCell != 0 && std::int64_t{spec.heightTotal} % spec.heightCell != 0) Fail("height total not fitted");

  const BlockLayout layout(spec);
  if (layout.lineCount() + layout.labelCount() <= kMaxSavedItems) {
    SaveAndCheck(spec, layout);
  } else {
    CheckExtremes(layout);
  }

  // A corrected total is written back as a text that reads as that total:
  // the next request finds the same block and shows no notice.
  for (const Correction& correction : reading.corrections) fields[correction.field] = correction.text;
  const BlockReading again = ReadBlock(fields);
  if (!again.spec || !again.notices.empty()) Fail("the written-back totals are refused or corrected again");
  const BlockSpec& s = *again.spec;
  if (s.startX != spec.startX || s.startY != spec.startY || s.widthTotal != spec.widthTotal ||
      s.heightTotal != spec.heightTotal || s.widthCell != spec.widthCell || s.heightCell != spec.heightCell ||
      s.angle != spec.angle)
    Fail("the written-back totals read back as another block");
  return 0;
}
