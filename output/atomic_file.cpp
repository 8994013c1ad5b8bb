#include "output/atomic_file.h"

#include <cerrno>
#include <vector>

namespace tavimo {
namespace {

constexpr int kNameAttempts = 100;
constexpr std::string_view kStemStart = ".tavimo-";
constexpr std::size_t kStemSize = kStemStart.size() + 12;

// A name of ours: the stem (".tavimo-" and twelve letters or digits), a
// dot, an extension.
bool OfOurs(std::string_view name) {
  if (name.size() <= kStemSize + 1 || name[kStemSize] != '.') return false;
  for (std::size_t i = kStemStart.size(); i < kStemSize; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// Removes what saves killed outright (or cut off by a power loss) left in
// the folder. Every file of a stem goes once the stem's ".tmp" file, held
// by its writer from creation on, is held by no one. A stem without one,
// such as an old file moved aside during a commit, is left alone: it may
// hold a file's only copy. Runs under the folder's lock, so that no new
// temporary is seen before its writer holds it.
void SweepLeftovers(platform::Handle folder) {
  const std::vector<std::string> names = platform::NamesStartingWith(folder, kStemStart);
  for (const std::string& holder : names) {
    if (!OfOurs(holder) || holder.compare(kStemSize, std::string::npos, ".tmp") != 0) continue;
    if (!platform::Abandoned(folder, holder)) continue;
    for (const std::string& name : names) {
      if (name != holder && OfOurs(name) && name.compare(0, kStemSize, holder, 0, kStemSize) == 0)
        [[maybe_unused]] const int ignored = platform::Remove(folder, name);
    }
    [[maybe_unused]] const int ignored = platform::Remove(folder, holder);
  }
}

}  // namespace

std::string HiddenStem() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t bits = platform::RandomBits();
  std::string name = ".tavimo-";
  for (int i = 0; i < 12; ++i) {
    name += kLetters[bits % 36];
    bits /= 36;
  }
  return name;
}

AtomicFile::~AtomicFile() {
  Discard();
  platform::Close(folder_);
}

void AtomicFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  if (state_ == State::kOpen || state_ == State::kClosed) Discard();
  state_ = State::kFailed;
}

bool AtomicFile::ResolveAndOpenFolder(const std::string& path, platform::Link link) {
  Discard();
  platform::Close(folder_);
  folder_ = platform::kNoHandle;
  path_ = path;
  error_ = 0;
  written_ = reserved_ = 0;
  state_ = State::kIdle;
  target_ = {};
  if (const int error = platform::ResolveTarget(path, target_, link)) {
    Fail(error);
    return false;
  }
  if (const int error = platform::OpenFolder(target_.folder, folder_)) {
    Fail(error);
    return false;
  }
  return true;
}

bool AtomicFile::CreateTemporaryFile(const char* suffix, const std::function<bool()>& keepWaiting) {
  if (const int error = platform::LockFolder(folder_, keepWaiting)) {
    Fail(error);
    return false;
  }
  SweepLeftovers(folder_);
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && (error == EEXIST || error == EINTR); ++attempt) {
    std::string name = HiddenStem() + suffix;
    // Registered first: a signal that ends the process while the file is
    // being created still finds it to remove.
    const int ticket = platform::RegisterTemporary(folder_, name);
    error = platform::CreateTemporary(folder_, name, file_);
    if (error != 0) {
      platform::UnregisterTemporary(ticket);
      continue;
    }
    temporary_ = std::move(name);
    ticket_ = ticket;
    error = platform::HoldTemporary(folder_, temporary_, hold_);
  }
  platform::UnlockFolder(folder_);
  if (error != 0) {
    Fail(error);
    return false;
  }
  state_ = State::kOpen;
  return true;
}

bool AtomicFile::Open(const std::string& path, const std::function<bool()>& keepWaiting) {
  return ResolveAndOpenFolder(path) && CreateTemporaryFile(".tmp", keepWaiting);
}

bool AtomicFile::OpenForName(const std::string& path, const std::string& extension,
                             const std::function<bool()>& keepWaiting) {
  if (!ResolveAndOpenFolder(path) || !CreateTemporaryFile(".tmp", keepWaiting)) return false;
  // The empty reservation keeps the stem ours; the other library's file
  // takes the same stem with its own extension.
  platform::Close(file_);
  file_ = platform::kNoHandle;
  reservation_ = temporary_;
  reservationTicket_ = ticket_;
  temporary_ = reservation_.substr(0, reservation_.size() - 4) + extension;
  ticket_ = platform::RegisterTemporary(folder_, temporary_);
  foreign_ = true;
  state_ = State::kClosed;
  return true;
}

bool AtomicFile::JoinSetOf(const std::string& path, const AtomicFile& primary) {
  if (!ResolveAndOpenFolder(path, platform::Link::kItself)) return false;
  if (primary.reservation_.empty() || !platform::SameFolder(folder_, primary.folder_)) {
    Fail(EXDEV);
    return false;
  }
  foreign_ = true;
  state_ = State::kClosed;
  return true;
}

bool AtomicFile::OpenAsPartOf(const std::string& path, const AtomicFile& primary,
                              const std::string& extension) {
  if (!JoinSetOf(path, primary)) return false;
  temporary_ = primary.reservation_.substr(0, primary.reservation_.size() - 4) + extension;
  ticket_ = platform::RegisterTemporary(folder_, temporary_);
  return true;
}

bool AtomicFile::OpenToRemove(const std::string& path, const AtomicFile& primary) {
  return JoinSetOf(path, primary);  // no temporary: nothing to put in its place
}

bool AtomicFile::Write(const char* data, std::size_t size) {
  if (state_ != State::kOpen) {
    if (error_ == 0) Fail(EBADF);
    return false;
  }
  if (const int error = platform::Write(file_, data, size)) {
    Fail(error);
    return false;
  }
  written_ += size;
  return true;
}

void AtomicFile::Reserve(std::uint64_t size) {
  if (state_ != State::kOpen) return;
  platform::Reserve(file_, size);
  reserved_ = size;
}

bool AtomicFile::Close() {
  if (state_ != State::kOpen) {
    if (error_ == 0 && state_ != State::kClosed) Fail(EBADF);
    return state_ == State::kClosed;
  }
  if (reserved_ > written_) {
    if (const int error = platform::Truncate(file_, written_)) {
      Fail(error);
      return false;
    }
  }
  state_ = State::kClosed;
  return true;
}

void AtomicFile::ForgetTemporary() {
  platform::UnregisterTemporary(ticket_);
  platform::UnregisterTemporary(reservationTicket_);
  ticket_ = reservationTicket_ = -1;
  temporary_.clear();
  reservation_.clear();
}

void AtomicFile::Discard() {
  platform::Close(file_);
  file_ = platform::kNoHandle;
  if (!temporary_.empty()) [[maybe_unused]] const int ignored = platform::Remove(folder_, temporary_);
  if (!reservation_.empty()) [[maybe_unused]] const int ignored = platform::Remove(folder_, reservation_);
  // Held until the names are gone: a sweep never sees them unheld.
  platform::Close(hold_);
  hold_ = platform::kNoHandle;
  ForgetTemporary();
  if (state_ == State::kOpen || state_ == State::kClosed) state_ = State::kIdle;
}

}  // namespace tavimo
