#pragma once
// An output text file written line by line, every line ending in CR LF:
// a TextBuffer that drains into an AtomicFile, so that nothing replaces the
// target before the save commits (see output/atomic_file.h).

#include <cstdint>
#include <string>

#include "output/atomic_file.h"
#include "output/text_buffer.h"

namespace tavimo {

class TextOutputFile : public TextBuffer {
 public:
  // Starts the file that will replace `path`. False (error() set) when it
  // cannot: see AtomicFile::Open.
  [[nodiscard]] bool OpenForOutput(const std::string& path, const std::function<bool()>& keepWaiting = {});
  // Room for the whole file up front (a guess; trimmed at Close).
  void Reserve(std::uint64_t size) { file_.Reserve(size); }

  // Writes the text of a chunk (or takes its failure) and empties it.
  void Append(TextBuffer& chunk);

  // Writes out the buffer and ends the file, which stays a temporary until
  // CommitFiles. False (error() set) if any write since OpenForOutput failed.
  [[nodiscard]] bool Close();
  // Removes the temporary; the target is untouched.
  void Discard() { file_.Discard(); }

  AtomicFile& file() { return file_; }
  const std::string& path() const { return file_.path(); }
  std::uint64_t bytesWritten() const { return file_.bytesWritten(); }

 protected:
  void Drain() override;

 private:
  AtomicFile file_;
};

}  // namespace tavimo
