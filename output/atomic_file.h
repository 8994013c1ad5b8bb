#pragma once
// A file that replaces its target only once it is complete. The bytes go to
// a hidden temporary beside the target (".tavimo-" and twelve letters),
// owner-only until the commit gives it its final mode; a file never
// committed is removed, also at exit and on the signals the programs
// handle. What a save killed outright left behind (kill -9, a power loss)
// is removed by the next save into the same folder, once its writer is
// provably gone. Several files commit together (a CHT file and its companion):
// either all are replaced or every target keeps its old content.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/platform.h"

namespace tavimo {

struct CommitSteps;
// What a commit does with a target that exists: replace it, or keep it and
// fail with EEXIST (nothing replaced) also when it appears meanwhile.
enum class Existing { kReplace, kKeep };

// ".tavimo-" and twelve random letters or digits: the stem of every
// temporary and backup name, hidden, easy to recognise, and as short for a
// long target name as for a short one.
std::string HiddenStem();

class AtomicFile {
 public:
  enum class State { kIdle, kOpen, kClosed, kCommitted, kFailed };

  AtomicFile() = default;
  ~AtomicFile();  // discards an uncommitted file
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Starts the file that will replace `path`. False (error() set) when
  // `path` cannot be replaced or the temporary cannot be created.
  // Creating it waits while another save holds the folder's lock:
  // `keepWaiting` (may be empty) false, or a termination request, gives up
  // with ECANCELED.
  [[nodiscard]] bool Open(const std::string& path, const std::function<bool()>& keepWaiting = {});
  // Reserves a name beside `path` for files another library writes: the
  // temporary's name with `extension` in place of ".tmp" (see
  // temporaryName()). The reservation itself stays empty.
  [[nodiscard]] bool OpenForName(const std::string& path, const std::string& extension,
                                 const std::function<bool()>& keepWaiting = {});
  // A further file of the same set (a Shapefile's .dbf): its temporary
  // takes `primary`'s stem with `extension`. Same folder only. A symbolic
  // link at `path` is itself the file to replace, never the one it points
  // to. Left unwritten, the set has no such file: the commit removes the
  // old one.
  [[nodiscard]] bool OpenAsPartOf(const std::string& path, const AtomicFile& primary,
                                  const std::string& extension);
  // A file of the old set that the new set never has (an old file under
  // another case of the same name): the commit removes it with the rest,
  // and puts it back should the commit fail. Same folder only; a link is
  // itself the file.
  [[nodiscard]] bool OpenToRemove(const std::string& path, const AtomicFile& primary);

  [[nodiscard]] bool Write(const char* data, std::size_t size);
  // Room for the whole file up front, trimmed to what was written at Close.
  void Reserve(std::uint64_t size);
  // Ends the writing; the temporary stays for the commit.
  [[nodiscard]] bool Close();
  // Removes the temporary, if any; the target is untouched.
  void Discard();

  State state() const { return state_; }
  bool ok() const { return error_ == 0; }
  int error() const { return error_; }  // the first errno seen, 0 if none
  const std::string& path() const { return path_; }  // as given to Open
  std::uint64_t bytesWritten() const { return written_; }
  // The name, in the target's folder, of the temporary and of the target.
  const std::string& temporaryName() const { return temporary_; }
  const std::string& targetName() const { return target_.name; }
  const platform::Target& target() const { return target_; }
  platform::Handle folder() const { return folder_; }

 private:
  friend AtomicFile* CommitFiles(std::span<AtomicFile* const>, const std::function<bool()>&, bool*,
                                 const CommitSteps&, Existing);
  void Fail(int error);
  void ForgetTemporary();
  [[nodiscard]] bool ResolveAndOpenFolder(const std::string& path, platform::Link link = platform::Link::kFollow);
  [[nodiscard]] bool JoinSetOf(const std::string& path, const AtomicFile& primary);
  [[nodiscard]] bool CreateTemporaryFile(const char* suffix, const std::function<bool()>& keepWaiting);

  State state_ = State::kIdle;
  int error_ = 0;
  std::string path_;
  platform::Target target_;
  platform::Handle folder_ = platform::kNoHandle;
  platform::Handle file_ = platform::kNoHandle;
  // Marks the temporary (or the reservation) as a living writer's, for the
  // sweep of leftovers; open until the temporary is renamed or removed.
  platform::Handle hold_ = platform::kNoHandle;
  std::string temporary_;
  int ticket_ = -1;  // the temporary's place in the exit clean-up
  // OpenForName: the empty file that keeps the stem ours; the temporary is
  // another library's to write.
  std::string reservation_;
  int reservationTicket_ = -1;
  bool foreign_ = false;
  std::uint64_t written_ = 0;
  std::uint64_t reserved_ = 0;
};

// The renames that replace targets, one call each: a seam through which
// tests fail each step in turn. Each returns 0 or an errno value.
struct CommitSteps {
  std::function<int(platform::Handle, const std::string&, const std::string&)> exchange = platform::Exchange;
  std::function<int(platform::Handle, const std::string&, const std::string&)> rename = platform::Rename;
  std::function<int(platform::Handle, const std::string&, const std::string&)> renameNoReplace =
      platform::RenameNoReplace;
  std::function<int(platform::Handle, const std::string&)> remove = platform::Remove;
};

// Replaces the targets of closed files, in the order given, under the
// folders' lock. `stillWanted` (may be empty) is asked once the data is on
// the disk, and now and then while another save holds a folder's lock:
// false, or a termination request while waiting, cancels. Returns
// null on success (or a cancel: see `cancelled`), else the file that failed,
// its error() set. Either way no temporary or backup is left, and unless
// every target was replaced, every target keeps its old content.
[[nodiscard]] AtomicFile* CommitFiles(std::span<AtomicFile* const> files,
                                      const std::function<bool()>& stillWanted = {},
                                      bool* cancelled = nullptr, const CommitSteps& steps = {},
                                      Existing existing = Existing::kReplace);

}  // namespace tavimo
