#include "output/text_buffer.h"

#include <cerrno>
#include <cstring>

#include "number/number_text.h"

namespace tavimo {

TextBuffer::TextBuffer() : buffer_(new char[kCapacity]) {}

TextBuffer::~TextBuffer() = default;

void TextBuffer::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

void TextBuffer::Drain() { Fail(ENOBUFS); }

void TextBuffer::Put(const char* data, std::size_t size) {
  while (size > 0 && error_ == 0) {
    if (used_ == kCapacity) {
      Drain();
      if (error_ != 0) return;
    }
    const std::size_t n = size < kCapacity - used_ ? size : kCapacity - used_;
    std::memcpy(buffer_.get() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
  }
}

void TextBuffer::WriteText(std::string_view text) { Put(text.data(), text.size()); }

void TextBuffer::WriteNumber(Extended value, int digits) {
  char text[kMaxNumberText];
  Put(text, FormatNumber(text, value, digits, true));
}

void TextBuffer::EndLine() { Put("\r\n", 2); }

char* TextBuffer::RoomAfterDrain(std::size_t size) {
  if (error_ != 0 || size > kMaxRoom) return nullptr;
  Drain();
  if (error_ != 0) return nullptr;
  return buffer_.get() + used_;
}

}  // namespace tavimo
