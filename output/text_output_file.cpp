#include "output/text_output_file.h"

#include <cerrno>

namespace tavimo {
namespace {

// Chunks at least this long go to the file without a copy into the buffer.
constexpr std::size_t kDirectWrite = std::size_t{64} << 10;

}  // namespace

bool TextOutputFile::OpenForOutput(const std::string& path, const std::function<bool()>& keepWaiting) {
  Reset();
  if (!file_.Open(path, keepWaiting)) {
    Fail(file_.error());
    return false;
  }
  return true;
}

void TextOutputFile::Drain() {
  const std::size_t size = used_;
  used_ = 0;
  if (error_ == 0 && !file_.Write(buffer_.get(), size)) Fail(file_.error());
}

void TextOutputFile::Append(TextBuffer& chunk) {
  if (!chunk.ok()) {
    Fail(chunk.error());
  } else if (chunk.text().size() >= kDirectWrite) {
    Drain();
    if (error_ == 0 && !file_.Write(chunk.text().data(), chunk.text().size())) Fail(file_.error());
  } else {
    Put(chunk.text().data(), chunk.text().size());
  }
  chunk.Reset();
}

bool TextOutputFile::Close() {
  if (file_.state() == AtomicFile::State::kOpen) {
    Drain();
    if (error_ == 0 && !file_.Close()) Fail(file_.error());
  } else if (file_.state() != AtomicFile::State::kClosed) {
    Fail(file_.error() != 0 ? file_.error() : EBADF);
  }
  if (error_ != 0) file_.Discard();
  return error_ == 0;
}

}  // namespace tavimo
