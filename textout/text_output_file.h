#pragma once
// An output text file written line by line, every line ending in CR LF.
//
// Nothing is lost on failure: the lines go to a temporary file in the
// target's folder, and only Commit() renames it over the target. A file that
// is never committed is removed, so a failed or cancelled save leaves every
// existing file as it was and no temporary behind.

#include <string>
#include <string_view>

namespace tavimo {

class TextOutputFile {
 public:
  TextOutputFile();
  ~TextOutputFile();  // discards an uncommitted file
  TextOutputFile(const TextOutputFile&) = delete;
  TextOutputFile& operator=(const TextOutputFile&) = delete;

  // Starts the file that will replace `path`. False (with error() set) when
  // the temporary cannot be created, or when `path` or its folder is
  // read-only (checked by mode bits too, so that root honours it as well).
  bool OpenForOutput(const std::string& path);

  void WriteText(std::string_view text);
  void WriteNumber(long double value, int digits);  // FormatNumberItem
  void EndLine();                                   // CR LF

  // Writes out the buffer, syncs and closes the temporary. False (with
  // error() set) if any write since OpenForOutput failed.
  bool Close();
  // Renames the closed temporary over the target. False on failure.
  bool Commit();
  // Removes the temporary, if any; the target is untouched.
  void Discard();

  bool ok() const { return error_ == 0; }
  int error() const { return error_; }  // the first errno seen, 0 if none
  const std::string& path() const { return path_; }
  unsigned long long bytesWritten() const { return written_; }

 private:
  void Flush();
  void Put(const char* data, std::size_t size);

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  int error_ = 0;
  bool closed_ = false;
  unsigned long long written_ = 0;
  std::size_t used_ = 0;
  char* buffer_ = nullptr;
};

// A readable explanation of an errno value, independent of the locale.
std::string ErrorText(int error);

}  // namespace tavimo
