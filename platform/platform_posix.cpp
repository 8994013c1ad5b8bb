// The POSIX (Linux) side of platform/platform.h.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace tavimo::platform {
namespace {

int Fd(Handle handle) { return static_cast<int>(handle); }

// No write bit at all: root could still write, but the owner meant it
// read-only.
bool ReadOnlyByMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// This thread's umask (see OwnerOnlyNewFiles), without changing it where
// the kernel tells it.
mode_t CurrentUmask() {
  if (FILE* status = std::fopen("/proc/thread-self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace

int ResolveTarget(const std::string& path, Target& target, Link link) {
  if (path.empty()) return ENOENT;
  target.followed = false;
  std::string resolved = path;
  struct stat st {};
  bool exists = false;
  if (lstat(path.c_str(), &st) == 0) {
    exists = true;
    if (S_ISLNK(st.st_mode) && link == Link::kItself) {
      exists = false;  // replaced or removed like a missing file: its mode bits mean nothing
    } else if (S_ISLNK(st.st_mode)) {
      // Replace the file the link points to, not the link. A dangling link
      // is replaced itself, like a missing file.
      exists = false;
      if (char* real = realpath(path.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
        target.followed = true;
        exists = stat(resolved.c_str(), &st) == 0;
      }
    }
  } else if (errno != ENOENT) {
    return errno;
  }
  SplitPath(resolved, target.folder, target.name);
  if (target.name.empty()) return EISDIR;
  target.exists = exists;

  if (exists) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;  // a device or pipe is no file to replace
    if (ReadOnlyByMode(st.st_mode)) return EACCES;
    if (access(resolved.c_str(), W_OK) != 0) return errno;
    // The replacement keeps the old file's permissions (not its set-id bits).
    target.mode = st.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX);
    target.owner = st.st_uid;
    target.group = st.st_gid;
  } else {
    target.mode = 0666 & ~CurrentUmask();  // like any newly created file
    target.owner = target.group = -1;
  }

  struct stat folder {};
  if (stat(target.folder.c_str(), &folder) != 0) return errno;
  if (!S_ISDIR(folder.st_mode)) return ENOTDIR;
  if (ReadOnlyByMode(folder.st_mode)) return EACCES;
  if (access(target.folder.c_str(), W_OK | X_OK) != 0) return errno;
  return 0;
}

int OpenFolder(const std::string& folder, Handle& handle) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  handle = fd;
  return 0;
}

int CreateTemporary(Handle folder, const std::string& name, Handle& file) {
  const int fd = openat(Fd(folder), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  file = fd;
  return 0;
}

int Write(Handle file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(Fd(file), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

void Reserve(Handle file, std::uint64_t size) {
  if (size > 0) fallocate(Fd(file), 0, 0, static_cast<off_t>(size));
}

int Truncate(Handle file, std::uint64_t size) {
  return ftruncate(Fd(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int SetFinalMode(Handle file, const Target& target) {
  if (target.owner >= 0 && (static_cast<uid_t>(target.owner) != geteuid() ||
                            static_cast<gid_t>(target.group) != getegid())) {
    // Only root may give a file away; failing to does not fail the save.
    [[maybe_unused]] const int ignored =
        fchown(Fd(file), static_cast<uid_t>(target.owner), static_cast<gid_t>(target.group));
  }
  return fchmod(Fd(file), static_cast<mode_t>(target.mode)) == 0 ? 0 : errno;
}

int Sync(Handle file) { return fsync(Fd(file)) == 0 ? 0 : errno; }

int SetFinalModeByName(Handle folder, const std::string& name, const Target& target) {
  const int fd = openat(Fd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = SetFinalMode(fd, target);
  close(fd);
  return result;
}

unsigned OwnerOnlyNewFiles() {
  // The umask is shared by every thread of the process (a dialog's too);
  // a thread that unshares its file-system attributes has one of its own.
  // Where that is refused (a sandbox), the process's mask it is.
  [[maybe_unused]] const int ignored = unshare(CLONE_FS);
  return umask(077);
}

void RestoreFileMask(unsigned previous) { umask(static_cast<mode_t>(previous)); }

int SyncByName(Handle folder, const std::string& name) {
  const int fd = openat(Fd(folder), name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = fsync(fd) == 0 ? 0 : errno;
  close(fd);
  return result;
}

// Linux closes the descriptor even when close reports EINTR.
void Close(Handle handle) {
  if (handle != kNoHandle) close(Fd(handle));
}

bool Exists(Handle folder, const std::string& name) {
  struct stat st {};
  return fstatat(Fd(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SameFile(Handle folder, const std::string& first, const std::string& second) {
  struct stat a {}, b {};
  return fstatat(Fd(folder), first.c_str(), &a, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstatat(Fd(folder), second.c_str(), &b, AT_SYMLINK_NOFOLLOW) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool RecordLocked(Handle folder, const std::string& name) {
  const int fd = openat(Fd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // An open file description's lock test, which also sees locks of this
  // process. (Closing `fd` drops the locks this process holds on the file
  // the traditional way; it holds none on a file it is about to replace.)
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool locked = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  close(fd);
  return locked;
}

int Rename(Handle folder, const std::string& from, const std::string& to) {
  return renameat(Fd(folder), from.c_str(), Fd(folder), to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(Handle folder, const std::string& from, const std::string& to) {
  if (renameat2(Fd(folder), from.c_str(), Fd(folder), to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // Where the file system has no such rename: a hard link, which never
  // replaces, then the old name goes.
  if (linkat(Fd(folder), from.c_str(), Fd(folder), to.c_str(), 0) != 0) return errno;
  unlinkat(Fd(folder), from.c_str(), 0);
  return 0;
}

int Exchange(Handle folder, const std::string& first, const std::string& second) {
  if (renameat2(Fd(folder), first.c_str(), Fd(folder), second.c_str(), RENAME_EXCHANGE) == 0) return 0;
  return errno == EINVAL || errno == ENOSYS ? ENOTSUP : errno;
}

int Remove(Handle folder, const std::string& name) {
  return unlinkat(Fd(folder), name.c_str(), 0) == 0 ? 0 : errno;
}

void SyncFolder(Handle folder) { fsync(Fd(folder)); }

int LockFolder(Handle folder, const std::function<bool()>& keepWaiting) {
  // Polled rather than blocking, so that a wait behind another process
  // can be given up.
  for (;;) {
    if (flock(Fd(folder), LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno != EWOULDBLOCK && errno != EINTR) return 0;  // no locks here: nothing to wait for
    if (TerminationRequested() || (keepWaiting && !keepWaiting())) return ECANCELED;
    const timespec pause{0, 20'000'000};
    nanosleep(&pause, nullptr);
  }
}

void UnlockFolder(Handle folder) { flock(Fd(folder), LOCK_UN); }

int HoldTemporary(Handle folder, const std::string& name, Handle& hold) {
  const int fd = openat(Fd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  // A lock of this open file, which lasts as long as the process does: a
  // sweep that can take it knows the writer is gone.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error;
  }
  hold = fd;
  return 0;
}

bool Abandoned(Handle folder, const std::string& name) {
  const int fd = openat(Fd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool abandoned = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                         flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return abandoned;
}

std::vector<std::string> NamesStartingWith(Handle folder, std::string_view prefix) {
  std::vector<std::string> names;
  const int fd = openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return names;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.starts_with(prefix)) names.emplace_back(name);
  }
  closedir(dir);
  return names;
}

namespace {
bool FolderId(Handle folder, dev_t& dev, ino_t& ino) {
  struct stat st {};
  if (fstat(Fd(folder), &st) != 0) return false;
  dev = st.st_dev;
  ino = st.st_ino;
  return true;
}
}  // namespace

bool SameFolder(Handle first, Handle second) {
  dev_t d1{}, d2{};
  ino_t i1{}, i2{};
  return FolderId(first, d1, i1) && FolderId(second, d2, i2) && d1 == d2 && i1 == i2;
}

bool FolderBefore(Handle first, Handle second) {
  dev_t d1{}, d2{};
  ino_t i1{}, i2{};
  if (!FolderId(first, d1, i1) || !FolderId(second, d2, i2)) return first < second;
  return d1 != d2 ? d1 < d2 : i1 < i2;
}

std::uint64_t RandomBits() {
  std::uint64_t bits = 0;
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
  // Without the kernel's generator: unique enough, and O_EXCL settles clashes.
  static std::atomic<std::uint64_t> counter{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
         (static_cast<std::uint64_t>(getpid()) << 44) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
}

std::string ErrorText(int error) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (cLocale != static_cast<locale_t>(nullptr)) return strerror_l(error, cLocale);
  return "error " + std::to_string(error);
}

void UseExtendedPrecision() {}

int ProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string folder(path, static_cast<std::size_t>(n));
  const auto slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

void* OpenModule(const std::string& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr && error != nullptr) {
    const char* text = dlerror();
    *error = text != nullptr ? text : "cannot load " + path;
  }
  return module;
}

void* ModuleSymbol(void* module, const char* name) { return dlsym(module, name); }

// Each slot: a folder descriptor (-1 when free) and a name short enough to
// keep in place, so that a signal handler can remove it without allocating.
namespace {
constexpr int kSlots = 64;
constexpr std::size_t kNameRoom = 48;
struct Slot {
  std::atomic<int> folder{-1};
  char name[kNameRoom];
};
Slot slots[kSlots];
std::mutex slotMutex;
std::once_flag exitHook;
}  // namespace

int RegisterTemporary(Handle folder, const std::string& name) {
  if (name.size() >= kNameRoom) return -1;
  std::call_once(exitHook, [] { std::atexit(RemoveTemporaries); });
  std::lock_guard<std::mutex> lock(slotMutex);
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].folder.load() >= 0) continue;
    std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
    slots[i].folder.store(Fd(folder));
    return i;
  }
  return -1;
}

void UnregisterTemporary(int ticket) {
  if (ticket >= 0 && ticket < kSlots) slots[ticket].folder.store(-1);
}

void RemoveTemporaries() {
  for (Slot& slot : slots) {
    const int folder = slot.folder.exchange(-1);
    if (folder >= 0) unlinkat(folder, slot.name, 0);
  }
}

namespace {
volatile sig_atomic_t terminationRequested = 0;
int terminationPipe[2] = {-1, -1};

void OnTermination(int) {
  const int saved = errno;
  terminationRequested = 1;
  if (terminationPipe[1] >= 0) [[maybe_unused]] const ssize_t n = write(terminationPipe[1], "x", 1);
  errno = saved;
}

void OnAbort(int signal) {
  RemoveTemporaries();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// Every signal whose default action ends the process, but for the three
// that request an end and the two that writes raise (ignored). SIGTRAP
// stays a debugger's.
void RemoveTemporariesOnDeadlySignals() {
  std::vector<int> deadly{SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO, SIGPWR,
                          SIGSTKFLT, SIGSYS, SIGABRT, SIGBUS, SIGSEGV, SIGILL, SIGFPE};
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) deadly.push_back(s);
  struct sigaction action {};
  action.sa_handler = OnAbort;
  sigemptyset(&action.sa_mask);
  for (int s : deadly) {
    struct sigaction old {};
    // A handler already there (a sanitizer's, a profiler's) is left alone.
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_DFL && !(old.sa_flags & SA_SIGINFO))
      sigaction(s, &action, nullptr);
  }
}
}  // namespace

Handle CatchTerminationSignals() {
  if (terminationPipe[0] < 0 && pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    terminationPipe[0] = terminationPipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnTermination;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  RemoveTemporariesOnDeadlySignals();
  return terminationPipe[0];
}

bool TerminationRequested() { return terminationRequested != 0; }

void IgnoreSignalsThatKillWrites() {
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

void RemoveTemporariesOnAbort() { signal(SIGABRT, OnAbort); }

void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free descriptor: this one.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string SettingsFolder() {
  auto given = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  if (std::string own = given("TAVIMO_CONFIG_HOME"); !own.empty()) return own;
  // A relative XDG_CONFIG_HOME is to be ignored: it would move with the
  // working folder.
  if (std::string config = given("XDG_CONFIG_HOME"); config.starts_with('/')) return PathInFolder(config, "tavimo");
  if (std::string home = given("HOME"); !home.empty()) return PathInFolder(home, ".config/tavimo");
  return {};
}

std::string PathInFolder(const std::string& folder, std::string_view name) {
  if (folder.empty() || folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

int MakeFolders(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return ENOENT;
  if (mkdir(path.c_str(), 0700) == 0) return 0;
  int error = errno;
  if (error == ENOENT) {
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
      if (const int above = MakeFolders(path.substr(0, slash)); above != 0) return above;
      if (mkdir(path.c_str(), 0700) == 0) return 0;
      error = errno;
    }
  }
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  return error;
}

int ReadSmallFile(const std::string& path, std::size_t limit, std::string& text) {
  // Non-blocking: a FIFO in the file's place must not hold the program.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st {};
  int error = fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : 0;
  std::string read;
  if (error == 0 && static_cast<std::uint64_t>(st.st_size) > limit) error = EFBIG;
  if (error == 0) {
    // One byte more than allowed finds a file that grew meanwhile.
    read.resize(limit + 1);
    std::size_t used = 0;
    while (used < read.size()) {
      const ssize_t n = ::read(fd, read.data() + used, read.size() - used);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = errno;
        break;
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
    }
    read.resize(used);
    if (error == 0 && used > limit) error = EFBIG;
  }
  close(fd);
  if (error == 0) text = std::move(read);
  return error;
}

}  // namespace tavimo::platform
