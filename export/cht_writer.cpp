#include "export/cht_writer.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "export/file_naming.h"
#include "export/put_text.h"
#include "textout/number_text.h"

namespace tavimo {
namespace {

using put::PutDashAndTrimmed;
using put::PutNumber;

// The records are formatted straight into the file's buffer: fixed texts
// and numbers where they go. Room for each number: kMaxNumberText.
constexpr std::size_t kLineRecordRoom = 16 + 4 * kMaxNumberText;
constexpr std::size_t kCellLineRoom = 16 + 4 * kMaxNumberText;
static_assert(kLineRecordRoom <= TextBuffer::kMaxRoom);

// NumberString(n) of a cell number. A whole number from 1 to below 10^15
// is a blank and its digits, which std::to_chars gives without a detour
// through the 80-bit format; anything else goes by the rules.
[[gnu::always_inline]] inline char* PutCellNumber(char* p, std::int64_t n) {
  if (n > 0 && n < 1000000000000000) {
    *p = ' ';
    return std::to_chars(p + 1, p + kMaxNumberText, n).ptr;
  }
  return PutNumber(p, static_cast<long double>(n));
}

// NumberString(x), " ", NumberString(y), CR LF.
[[gnu::always_inline]] inline char* PutPoint(char* p, long double x, long double y) {
  p = PutNumber(p, x);
  *p++ = ' ';
  p = PutNumber(p, y);
  std::memcpy(p, "\r\n", 2);
  return p + 2;
}

}  // namespace

void WriteChtHeader(TextBuffer& file) {
  file.WriteText("7 0");
  file.EndLine();
}

void WriteChtLine(TextBuffer& file, const GridLine& line) {
  char* p = file.Room(kLineRecordRoom);
  if (p == nullptr) return;
  std::memcpy(p, "0      0\r\n", 10);
  p = PutPoint(p + 10, line.startX, line.startY);
  p = PutPoint(p, line.endX, line.endY);
  file.Advance(p);
}

std::string OpenRwsCompanion(TextOutputFile& cht, TextOutputFile& rws, const std::string& chtPath) {
  std::string rwsPath = RwsPathFor(chtPath);
  // Failures show in cht.ok() and rws.ok().
  if (cht.Close()) [[maybe_unused]] const bool opened = rws.OpenForOutput(rwsPath);
  return rwsPath;
}

void WriteRwsCell(TextBuffer& file, const CellLabel& label) { RwsCellWriter()(file, label); }

void RwsCellWriter::operator()(TextBuffer& file, const CellLabel& label) {
  // "-row" and CR LF stay the same along a row of cells: made once a row.
  if (!valid_ || label.row != row_) {
    row_ = label.row;
    valid_ = true;
    char* p = PutDashAndTrimmed(tail_, static_cast<long double>(label.row));
    std::memcpy(p, "\r\n", 2);
    size_ = static_cast<std::size_t>(p + 2 - tail_);
  }
  char* p = file.Room(kCellLineRoom);
  if (p == nullptr) return;
  p = PutNumber(p, label.x);
  *p++ = ' ';
  p = PutNumber(p, label.y);
  *p++ = ' ';
  p = PutCellNumber(p, label.column);
  std::memcpy(p, tail_, size_);
  file.Advance(p + size_);
}

}  // namespace tavimo
