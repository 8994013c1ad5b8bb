#pragma once
// Text being formatted, in memory: the lines of a chunk of items that one
// thread makes for a file, and the write buffer of a TextOutputFile. Every
// line ends in CR LF. Writes after a failure do nothing.

#include <cstddef>
#include <memory>
#include <string_view>
#include "number/extended.h"

namespace tavimo {

class TextBuffer {
 public:
  // A buffer large enough to keep writes at disk speed; a chunk of items
  // must fit it (beyond, the chunk fails with ENOBUFS).
  static constexpr std::size_t kCapacity = std::size_t{1} << 20;
  // The most Room() hands out at once.
  static constexpr std::size_t kMaxRoom = 4096;

  TextBuffer();
  virtual ~TextBuffer();
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void WriteText(std::string_view text);
  void WriteNumber(Extended value, int digits);  // FormatNumberItem
  void EndLine();                                   // CR LF

  // Formatting straight into the buffer, for writers of millions of lines:
  // Room(size) gives at least `size` bytes (size <= kMaxRoom) to fill,
  // Advance(end) keeps those up to `end`. Null after a failure.
  char* Room(std::size_t size) {
    if (error_ == 0 && size <= kCapacity - used_) return buffer_.get() + used_;
    return RoomAfterDrain(size);
  }
  void Advance(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  std::string_view text() const { return {buffer_.get(), used_}; }
  // Empties the buffer and forgets a failure, for the next chunk.
  void Reset() {
    used_ = 0;
    error_ = 0;
  }

  bool ok() const { return error_ == 0; }
  int error() const { return error_; }  // the first errno seen, 0 if none

 protected:
  // Makes room when the buffer is full: text in memory has nowhere to go
  // (ENOBUFS); a file writes it out.
  virtual void Drain();
  void Fail(int error);
  void Put(const char* data, std::size_t size);

  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  int error_ = 0;

 private:
  char* RoomAfterDrain(std::size_t size);
};

}  // namespace tavimo
