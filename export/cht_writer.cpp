#include "export/cht_writer.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "export/save_block.h"
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
static_assert(kLineRecordRoom <= TextOutputFile::kMaxRoom);

// "-row" and CR LF, the end of a cell line. It stays the same along a row
// of cells, so it is made once a row (for each thread that writes cells).
class CellLineTail {
 public:
  static constexpr std::size_t kCopy = 16;  // a fixed copy covers the usual tail

  std::string_view Of(std::int64_t row) {
    if (!valid_ || row != row_) {
      row_ = row;
      valid_ = true;
      char* p = PutDashAndTrimmed(text_, static_cast<long double>(row));
      std::memcpy(p, "\r\n", 2);
      size_ = static_cast<std::size_t>(p + 2 - text_);
    }
    return {text_, size_};
  }

 private:
  std::int64_t row_ = 0;
  bool valid_ = false;
  std::size_t size_ = 0;
  char text_[4 + kMaxNumberText];
};

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

void WriteChtHeader(TextOutputFile& file) {
  file.WriteText("7 0");
  file.EndLine();
}

void WriteChtLine(TextOutputFile& file, const GridLine& line) {
  char* p = file.Room(kLineRecordRoom);
  if (p == nullptr) return;
  std::memcpy(p, "0      0\r\n", 10);
  p = PutPoint(p + 10, line.startX, line.startY);
  p = PutPoint(p, line.endX, line.endY);
  file.Advance(p);
}

std::string OpenRwsCompanion(TextOutputFile& cht, TextOutputFile& rws, const std::string& chtPath) {
  std::string rwsPath = RwsPathFor(chtPath);
  if (cht.Close()) rws.OpenForOutput(rwsPath);
  return rwsPath;
}

void WriteRwsCell(TextOutputFile& file, const CellLabel& label) {
  thread_local CellLineTail tails;
  const std::string_view tail = tails.Of(label.row);
  char* p = file.Room(kCellLineRoom);
  if (p == nullptr) return;
  p = PutNumber(p, label.x);
  *p++ = ' ';
  p = PutNumber(p, label.y);
  *p++ = ' ';
  p = PutCellNumber(p, label.column);
  if (tail.size() <= CellLineTail::kCopy) {
    std::memcpy(p, tail.data(), CellLineTail::kCopy);
  } else {
    std::memcpy(p, tail.data(), tail.size());
  }
  file.Advance(p + tail.size());
}

}  // namespace tavimo
