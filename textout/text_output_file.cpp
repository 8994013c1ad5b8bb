#include "textout/text_output_file.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "textout/number_text.h"

namespace tavimo {
namespace {

// Texts at least this long go to the file without a copy into the buffer.
constexpr std::size_t kDirectWrite = std::size_t{64} << 10;
constexpr int kNameAttempts = 100;

// The folder that holds `path`, as a prefix for names beside it ("" for the
// current folder) and as a path of its own.
std::string FolderPrefix(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::uint64_t RandomBits() {
  std::uint64_t bits = 0;
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
  // Without the kernel's generator: unique enough, and O_EXCL settles clashes.
  static std::atomic<std::uint64_t> counter{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  bits = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
         (static_cast<std::uint64_t>(getpid()) << 44) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
  return bits;
}

// ".tavimo-" and twelve letters or digits, then `suffix`: hidden, and easy
// to recognise should a crash ever leave one behind.
std::string HiddenName(const std::string& prefix, const char* suffix) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t bits = RandomBits();
  std::string name = prefix + ".tavimo-";
  for (int i = 0; i < 12; ++i) {
    name += kLetters[bits % 36];
    bits /= 36;
  }
  name += suffix;
  return name;
}

// No write bit at all: root could still write, but the owner meant it
// read-only.
bool ReadOnlyByMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// Makes renames in `folder` durable; failure only loses durability.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

TextOutputFile::TextOutputFile() = default;

TextOutputFile::~TextOutputFile() { Discard(); }

void TextOutputFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  writable_ = false;
}

bool TextOutputFile::OpenForOutput(const std::string& path) {
  Discard();
  path_ = path;
  target_ = path;
  inMemory_ = false;
  error_ = 0;
  closed_ = false;
  written_ = 0;
  used_ = 0;

  if (path.empty()) {
    Fail(ENOENT);
    return false;
  }

  struct stat st {};
  bool exists = false;
  if (lstat(path.c_str(), &st) == 0) {
    exists = true;
    if (S_ISLNK(st.st_mode)) {
      // Replace the file the link points to, not the link. A dangling link
      // is replaced itself, like a missing file.
      exists = false;
      if (char* resolved = realpath(path.c_str(), nullptr)) {
        target_ = resolved;
        std::free(resolved);
        exists = stat(target_.c_str(), &st) == 0;
      }
    }
  } else if (errno != ENOENT) {
    Fail(errno);
    return false;
  }

  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      Fail(EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {  // a device or pipe is no file to replace
      Fail(EINVAL);
      return false;
    }
    if (ReadOnlyByMode(st.st_mode)) {
      Fail(EACCES);
      return false;
    }
    if (access(target_.c_str(), W_OK) != 0) {
      Fail(errno);
      return false;
    }
  }

  const std::string folder = FolderOf(target_);
  struct stat folderStat {};
  if (stat(folder.c_str(), &folderStat) != 0) {
    Fail(errno);
    return false;
  }
  if (!S_ISDIR(folderStat.st_mode)) {
    Fail(ENOTDIR);
    return false;
  }
  if (ReadOnlyByMode(folderStat.st_mode)) {
    Fail(EACCES);
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    Fail(errno);
    return false;
  }

  const std::string prefix = FolderPrefix(target_);
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    std::string name = HiddenName(prefix, ".tmp");
    // 0666 before the umask, like any newly created file.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      tempPath_ = std::move(name);
    } else if (errno != EEXIST && errno != EINTR) {
      Fail(errno);
      return false;
    }
  }
  if (fd_ < 0) {
    Fail(EEXIST);
    return false;
  }

  if (exists) {
    // The replacement keeps the old file's owner and permissions (not its
    // set-id bits). Failing to copy them does not fail the save.
    if (st.st_uid != geteuid() || st.st_gid != getegid()) {
      [[maybe_unused]] const int ignored = fchown(fd_, st.st_uid, st.st_gid);
    }
    fchmod(fd_, st.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX));
  }

  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  writable_ = true;
  return true;
}

void TextOutputFile::OpenInMemory() {
  Discard();
  path_.clear();
  target_.clear();
  inMemory_ = true;
  error_ = 0;
  closed_ = false;
  written_ = 0;
  used_ = 0;
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  writable_ = true;
}

void TextOutputFile::WriteOut(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return;
    }
    if (n == 0) {
      Fail(EIO);
      return;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<unsigned long long>(n);
  }
}

void TextOutputFile::Flush() {
  if (inMemory_) {
    Fail(ENOBUFS);  // a file in memory has no more room
    return;
  }
  const std::size_t size = used_;
  used_ = 0;
  if (fd_ < 0 || error_ != 0) return;
  WriteOut(buffer_.get(), size);
}

void TextOutputFile::Put(const char* data, std::size_t size) {
  if (!writable_) return;
  if (size >= kDirectWrite && !inMemory_) {
    Flush();
    if (error_ == 0) WriteOut(data, size);
    return;
  }
  while (size > 0) {
    if (used_ == kBufferSize) {
      Flush();
      if (error_ != 0) return;
    }
    const std::size_t n = size < kBufferSize - used_ ? size : kBufferSize - used_;
    std::memcpy(buffer_.get() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
  }
}

void TextOutputFile::WriteText(std::string_view text) { Put(text.data(), text.size()); }

void TextOutputFile::WriteNumber(long double value, int digits) {
  char text[kMaxNumberText];
  Put(text, FormatNumber(text, value, digits, true));
}

void TextOutputFile::EndLine() { Put("\r\n", 2); }

char* TextOutputFile::RoomAfterFlush(std::size_t size) {
  if (!writable_ || size > kMaxRoom) return nullptr;
  Flush();
  if (error_ != 0) return nullptr;
  return buffer_.get() + used_;
}

void TextOutputFile::Append(TextOutputFile& memory) {
  if (memory.error_ != 0) {
    if (writable_) Fail(memory.error_);
  } else {
    Put(memory.buffer_.get(), memory.used_);
  }
  memory.used_ = 0;
}

std::string_view TextOutputFile::text() const {
  return inMemory_ ? std::string_view(buffer_.get(), used_) : std::string_view();
}

bool TextOutputFile::Close() {
  if (fd_ < 0) {
    if (!closed_) Fail(EBADF);  // never opened, or in memory
    return ok();
  }
  if (!closed_) {
    Flush();
    closed_ = true;
    writable_ = false;
  }
  return ok();
}

bool TextOutputFile::Commit() {
  if (!closed_ || tempPath_.empty()) Fail(EBADF);
  if (error_ != 0) {
    Discard();
    return false;
  }
  // A save must never lose an existing file. Before a rename replaces one,
  // the new text has to be on the disk: after a crash the name could
  // otherwise point at a file whose data never got there, with the old one
  // gone. A new file puts nothing at risk (a crash can only lose the new
  // file itself), so it is renamed without the sync, which would cost more
  // than all the writing. Decided right before the rename, when it counts.
  struct stat st {};
  const bool replaces = lstat(target_.c_str(), &st) == 0;
  if (replaces && fsync(fd_) != 0) {
    Fail(errno);
    Discard();
    return false;
  }
  // Linux closes the descriptor even when close reports EINTR.
  const int closeResult = close(fd_);
  fd_ = -1;
  if (closeResult != 0 && errno != EINTR) {
    Fail(errno);
    Discard();
    return false;
  }
  if (rename(tempPath_.c_str(), target_.c_str()) != 0) {
    Fail(errno);
    Discard();
    return false;
  }
  tempPath_.clear();
  if (replaces) SyncFolder(FolderOf(target_));
  return true;
}

void TextOutputFile::Discard() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
  inMemory_ = false;
  writable_ = false;
  used_ = 0;
}

TextOutputFile* CommitBoth(TextOutputFile& first, TextOutputFile& second) {
  for (TextOutputFile* file : {&first, &second}) {
    if (!file->closed_ || file->tempPath_.empty()) file->Fail(EBADF);
    if (!file->ok()) {
      first.Discard();
      second.Discard();
      return file;
    }
  }

  // Keep the first target's old content under a second name until the
  // second rename has succeeded, so that it can be put back.
  struct stat st {};
  const bool firstExisted = lstat(first.target_.c_str(), &st) == 0;
  std::string backup;
  if (firstExisted) {
    const std::string prefix = FolderPrefix(first.target_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string name = HiddenName(prefix, ".old");
      if (link(first.target_.c_str(), name.c_str()) == 0) {
        backup = std::move(name);
        break;
      }
      if (errno != EEXIST) break;  // no hard links here: go on without
    }
  }

  if (!first.Commit()) {
    second.Discard();
    if (!backup.empty()) unlink(backup.c_str());
    return &first;
  }
  if (!second.Commit()) {
    if (!backup.empty()) {
      rename(backup.c_str(), first.target_.c_str());
    } else if (!firstExisted) {
      unlink(first.target_.c_str());
    }
    SyncFolder(FolderOf(first.target_));
    return &second;
  }
  if (!backup.empty()) unlink(backup.c_str());
  return nullptr;
}

std::string ErrorText(int error) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (cLocale != static_cast<locale_t>(nullptr)) return strerror_l(error, cLocale);
  return "error " + std::to_string(error);
}

}  // namespace tavimo
