#pragma once
// An output text file written line by line, every line ending in CR LF.
//
// Nothing is lost on failure: the lines go to a temporary file in the
// target's folder (named ".tavimo-..."), and only Commit() renames it over
// the target. A file that is never committed is removed, so a failed or
// cancelled save leaves every existing file as it was and no temporary
// behind.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tavimo {

class TextOutputFile {
 public:
  TextOutputFile();
  ~TextOutputFile();  // discards an uncommitted file
  TextOutputFile(const TextOutputFile&) = delete;
  TextOutputFile& operator=(const TextOutputFile&) = delete;

  // Starts the file that will replace `path` (a symbolic link is followed:
  // the file it points to is replaced, the link stays). False (with error()
  // set) when the temporary cannot be created, when `path` is a folder, or
  // when `path` or its folder is read-only (checked by mode bits too, so
  // that root honours it as well). Discards whatever the object held before.
  bool OpenForOutput(const std::string& path);

  // A file in memory instead, for text that another thread makes for a
  // file: it holds up to 1 MiB (a write beyond fails with ENOBUFS), and the
  // file takes it with Append. Discards whatever the object held before.
  void OpenInMemory();

  // Writes after a failure, after Close, or without an open file, do
  // nothing.
  void WriteText(std::string_view text);
  void WriteNumber(long double value, int digits);  // FormatNumberItem
  void EndLine();                                   // CR LF

  // Formatting straight into the write buffer, for writers of millions of
  // lines: Room(size) gives at least `size` bytes (size <= kMaxRoom) to fill,
  // Advance(end) keeps those up to `end`. Null when writes do nothing.
  static constexpr std::size_t kMaxRoom = 4096;
  char* Room(std::size_t size) {
    if (writable_ && size <= kBufferSize - used_) return buffer_.get() + used_;
    return RoomAfterFlush(size);
  }
  void Advance(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  // Writes the text of a file in memory (or its error, which then becomes
  // this file's) and empties it.
  void Append(TextOutputFile& memory);
  // The text a file in memory holds.
  std::string_view text() const;

  // Writes out the buffer. False (with error() set) if any write since
  // OpenForOutput failed. The temporary stays open for Commit.
  bool Close();
  // Renames the closed temporary over the target, syncing it first when it
  // replaces a file. False on failure, after which the temporary is gone and
  // the target untouched.
  bool Commit();
  // Removes the temporary, if any; the target is untouched.
  void Discard();

  bool ok() const { return error_ == 0; }
  int error() const { return error_; }  // the first errno seen, 0 if none
  // The path as given to OpenForOutput (what messages name).
  const std::string& path() const { return path_; }
  // The file that Commit replaces: path(), or where its symbolic link points.
  const std::string& targetPath() const { return target_; }
  unsigned long long bytesWritten() const { return written_; }

 private:
  friend TextOutputFile* CommitBoth(TextOutputFile& first, TextOutputFile& second);

  // Large writes keep the export at disk speed; two files may be open at
  // once, and a file in memory holds one buffer's worth.
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  char* RoomAfterFlush(std::size_t size);
  void Flush();
  void Put(const char* data, std::size_t size);
  void WriteOut(const char* data, std::size_t size);
  void Fail(int error);

  std::string path_;
  std::string target_;
  std::string tempPath_;
  int fd_ = -1;
  bool inMemory_ = false;
  bool writable_ = false;  // open (or in memory), not closed, nothing failed
  int error_ = 0;
  bool closed_ = false;
  unsigned long long written_ = 0;
  std::size_t used_ = 0;
  std::unique_ptr<char[]> buffer_;
};

// Replaces the targets of two closed files together: `first`, then
// `second`. Should the second rename fail, the first target gets its old
// content back (or is removed if it did not exist), so the pair never ends
// up half old, half new. Returns null on success, else the file that failed
// (its error() set); both temporaries are gone either way.
TextOutputFile* CommitBoth(TextOutputFile& first, TextOutputFile& second);

// A readable explanation of an errno value, independent of the locale.
std::string ErrorText(int error);

}  // namespace tavimo
