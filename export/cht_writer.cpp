#include "export/cht_writer.h"

#include <cstdint>
#include <cstring>

#include "export/put_text.h"
#include "number/number_text.h"

namespace tavimo {
namespace {

using put::PutCellNumber;
using put::PutDashAndTrimmed;
using put::PutPair;

// The records are formatted straight into the file's buffer: fixed texts
// and numbers where they go. Room for each number: kMaxNumberText.
constexpr std::size_t kLineRecordRoom = 16 + 4 * kMaxNumberText;
constexpr std::size_t kCellLineRoom = 16 + 4 * kMaxNumberText;
static_assert(kLineRecordRoom <= TextBuffer::kMaxRoom);

// A fixed copy covers the usual end of a cell line.
constexpr std::size_t kTailCopy = 16;

// NumberString(x), " ", NumberString(y), CR LF.
[[gnu::always_inline]] inline char* PutPoint(char* p, Extended x, Extended y) {
  p = PutPair(p, x, " ", y);
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

void OpenRwsCompanion(TextOutputFile& cht, TextOutputFile& rws, const std::string& rwsPath,
                      const std::function<bool()>& keepWaiting) {
  // Failures show in cht.ok() and rws.ok().
  if (cht.Close()) [[maybe_unused]] const bool opened = rws.OpenForOutput(rwsPath, keepWaiting);
}

void RwsCellWriter::MakeTail(std::int64_t row) {
  row_ = row;
  valid_ = true;
  char* p = PutDashAndTrimmed(tail_, static_cast<Extended>(row));
  std::memcpy(p, "\r\n", 2);
  tailSize_ = static_cast<std::size_t>(p + 2 - tail_);
}

void RwsCellWriter::operator()(TextBuffer& file, const CellLabel& label) {
  if (!valid_ || label.row != row_) MakeTail(label.row);
  char* p = file.Room(kCellLineRoom);
  if (p == nullptr) return;
  p = PutPair(p, label.x, " ", label.y);
  *p++ = ' ';
  p = PutCellNumber(p, label.column);
  if (tailSize_ <= kTailCopy) {
    std::memcpy(p, tail_, kTailCopy);
  } else {
    std::memcpy(p, tail_, tailSize_);
  }
  file.Advance(p + tailSize_);
}

}  // namespace tavimo
