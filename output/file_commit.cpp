// CommitFiles: replacing the targets of finished files together.
//
// Every target but the last is swapped with its temporary in one atomic
// exchange, so the temporary's name holds the old content until the end;
// where the file system cannot exchange, the old file is first renamed
// aside. Only renames are used, never hard links: whatever was renamed can
// be renamed back, in any folder where the first rename was allowed (also
// a shared folder with the sticky bit). The last target is replaced by a
// plain rename, after which nothing can fail.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "output/atomic_file.h"

namespace tavimo {
namespace {

enum class How { kCreated, kReplaced, kExchanged, kMovedAside };


struct Step {
  AtomicFile* file;
  How how;
  std::string backup;  // where the old content is now (kExchanged, kMovedAside)
};

// Tries a restoring step twice: a passing failure must not cost the old file.
template <typename Call>
int Twice(Call call) {
  const int error = call();
  return error == 0 ? 0 : call();
}

// A name for an old file moved aside, free in `folder`.
std::string AsideName(platform::Handle folder) {
  for (;;) {
    std::string name = HiddenStem() + ".old";
    if (!platform::Exists(folder, name)) return name;
  }
}

// The folders of the files, each once, in a fixed order so that two
// processes never wait for each other's second lock.
std::vector<platform::Handle> FoldersOf(std::span<AtomicFile* const> files) {
  std::vector<platform::Handle> folders;
  for (AtomicFile* file : files) {
    const bool known = std::any_of(folders.begin(), folders.end(),
                                   [&](platform::Handle f) { return platform::SameFolder(f, file->folder()); });
    if (!known) folders.push_back(file->folder());
  }
  std::sort(folders.begin(), folders.end(), platform::FolderBefore);
  return folders;
}

}  // namespace

AtomicFile* CommitFiles(std::span<AtomicFile* const> files, const std::function<bool()>& stillWanted,
                        bool* cancelled, const CommitSteps& steps, Existing existing) {
  if (cancelled != nullptr) *cancelled = false;
  auto discardAll = [&] {
    for (AtomicFile* file : files) file->Discard();
  };
  auto fail = [&](AtomicFile* file, int error) {
    if (file->error_ == 0) file->error_ = error != 0 ? error : EIO;
    discardAll();
    file->state_ = AtomicFile::State::kFailed;
    return file;
  };

  // The data on the disk first: before a rename replaces a file, a crash
  // must not leave the name pointing at data that never got there. A new
  // file puts nothing at risk, and the sync would cost more than the writing.
  // A file another library chose not to write (a Shapefile without a .prj)
  // means its target must go: an old one would describe the new set wrongly.
  std::vector<bool> absent(files.size(), false);
  for (std::size_t i = 0; i < files.size(); ++i) {
    AtomicFile* file = files[i];
    if (file->state_ != AtomicFile::State::kClosed) return fail(file, file->error_ != 0 ? file->error_ : EBADF);
    absent[i] = file->foreign_ && (file->temporary_.empty() || !platform::Exists(file->folder_, file->temporary_));
    if (absent[i]) continue;
    // Another library's files too: it created them as it saw fit.
    const int modeError = file->foreign_ ? platform::SetFinalModeByName(file->folder_, file->temporary_, file->target_)
                                         : platform::SetFinalMode(file->file_, file->target_);
    if (modeError != 0) return fail(file, modeError);
    if (platform::Exists(file->folder_, file->target_.name)) {
      const int error = file->foreign_ ? platform::SyncByName(file->folder_, file->temporary_)
                                       : platform::Sync(file->file_);
      if (error != 0) return fail(file, error);
    }
    platform::Close(file->file_);
    file->file_ = platform::kNoHandle;
  }
  if (stillWanted && !stillWanted()) {
    discardAll();
    if (cancelled != nullptr) *cancelled = true;
    return nullptr;
  }

  const std::vector<platform::Handle> folders = FoldersOf(files);
  std::size_t locked = 0;
  auto unlock = [&] {
    while (locked > 0) platform::UnlockFolder(folders[--locked]);
  };
  // Waiting behind another process's save can be given up, like the save.
  for (; locked < folders.size(); ++locked) {
    if (platform::LockFolder(folders[locked], stillWanted) != 0) {
      unlock();
      discardAll();
      if (cancelled != nullptr) *cancelled = true;
      return nullptr;
    }
  }
  if (existing == Existing::kKeep) {
    for (AtomicFile* file : files) {
      if (platform::Exists(file->folder_, file->target_.name)) {
        unlock();
        return fail(file, EEXIST);
      }
    }
  }

  std::vector<Step> done;
  // Puts every replaced target's old content back. Should that fail for good,
  // the old content stays where it is (under its backup name) rather than
  // being removed with the temporaries.
  auto undo = [&] {
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      const platform::Handle folder = it->file->folder();
      const std::string& target = it->file->targetName();
      switch (it->how) {
        case How::kCreated:
          Twice([&] { return steps.remove(folder, target); });
          break;
        case How::kExchanged:
          if (steps.exchange(folder, it->backup, target) != 0 &&
              Twice([&] { return steps.rename(folder, it->backup, target); }) != 0) {
            platform::UnregisterTemporary(it->file->ticket_);
            it->file->ticket_ = -1;
            it->file->temporary_.clear();
          }
          break;
        case How::kMovedAside:
          Twice([&] { return steps.rename(folder, it->backup, target); });
          break;
        case How::kReplaced:
          break;  // only ever the last step: nothing follows it to fail
      }
    }
  };

  for (std::size_t i = 0; i < files.size(); ++i) {
    AtomicFile* file = files[i];
    const platform::Handle folder = file->folder_;
    const std::string& target = file->target_.name;
    const std::string temporary = file->temporary_;
    const bool exists = platform::Exists(folder, target);
    int error = 0;
    if (absent[i]) {
      if (!exists) continue;
      const std::string aside = AsideName(folder);
      error = steps.rename(folder, target, aside);
      if (error == 0) done.push_back({file, How::kMovedAside, aside});
    } else if (!exists || i + 1 == files.size()) {
      // Kept targets: one that appeared since the check above is not replaced.
      error = existing == Existing::kKeep ? steps.renameNoReplace(folder, temporary, target)
                                          : steps.rename(folder, temporary, target);
      if (error == 0) done.push_back({file, exists ? How::kReplaced : How::kCreated, {}});
    } else {
      error = steps.exchange(folder, temporary, target);
      if (error == 0) {
        done.push_back({file, How::kExchanged, temporary});
      } else if (error == ENOTSUP) {
        const std::string aside = AsideName(folder);
        error = steps.rename(folder, target, aside);
        if (error == 0) {
          error = steps.rename(folder, temporary, target);
          if (error == 0) {
            done.push_back({file, How::kMovedAside, aside});
          } else {
            Twice([&] { return steps.rename(folder, aside, target); });
          }
        }
      }
    }
    if (error != 0) {
      undo();
      unlock();
      return fail(file, error);
    }
    if (done.back().backup != temporary) {
      // The temporary's name is the target's now.
      platform::UnregisterTemporary(file->ticket_);
      file->ticket_ = -1;
      file->temporary_.clear();
    }
  }

  for (const Step& step : done) {
    if (!step.backup.empty()) Twice([&] { return steps.remove(step.file->folder_, step.backup); });
    AtomicFile* file = step.file;
    file->temporary_.clear();  // gone, or the backup just removed
    file->Discard();           // the reservation of a foreign file
    file->state_ = AtomicFile::State::kCommitted;
  }
  for (platform::Handle folder : folders) platform::SyncFolder(folder);
  unlock();
  return nullptr;
}

}  // namespace tavimo
