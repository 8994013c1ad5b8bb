#pragma once
// The operating system behind the output files and the programs: one small
// interface, one implementation per platform (platform_posix.cpp,
// platform_win32.cpp).
// Calls that can fail return 0 or an errno value; nothing throws. Paths are
// the file system's own bytes on Linux and UTF-8 on Windows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavimo::platform {

// An open file or folder.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// What a save will replace: the file a path names, after following a
// symbolic link (the link stays, the file it points to is replaced).
struct Target {
  std::string folder;  // the folder holding it
  std::string name;    // its name in that folder
  bool exists = false;
  bool followed = false;  // the path named a link, followed to folder/name
  unsigned mode = 0;   // permission bits the replacement gets
  long long owner = -1, group = -1;  // the replaced file's, to keep (-1: none)
};

// What a symbolic link at the path stands for: the file it points to (the
// file a user chose), or itself (a file of a set named after the chosen
// one: a shared .prj behind a link is another dataset's, never ours to
// replace or remove).
enum class Link { kFollow, kItself };

// Checks that `path` names a regular file one may replace, or a new file in
// a folder one may write to, and describes it. Read-only files and folders
// are refused by their mode bits too, so that root honours them as well.
// A link taken as itself is replaced like a missing file.
[[nodiscard]] int ResolveTarget(const std::string& path, Target& target, Link link = Link::kFollow);

[[nodiscard]] int OpenFolder(const std::string& folder, Handle& handle);
// A new, empty file readable by its owner only, created exclusively.
[[nodiscard]] int CreateTemporary(Handle folder, const std::string& name, Handle& file);
[[nodiscard]] int Write(Handle file, const char* data, std::size_t size);
// Asks for room for `size` bytes up front; a refusal changes nothing.
void Reserve(Handle file, std::uint64_t size);
[[nodiscard]] int Truncate(Handle file, std::uint64_t size);
// Gives a temporary the target's mode (and owner, where allowed).
[[nodiscard]] int SetFinalMode(Handle file, const Target& target);
[[nodiscard]] int Sync(Handle file);
// The same for a file another library wrote, by its name.
[[nodiscard]] int SetFinalModeByName(Handle folder, const std::string& name, const Target& target);
[[nodiscard]] int SyncByName(Handle folder, const std::string& name);
// Files that this thread creates from now on are readable by their owner
// only (a umask of 077), until RestoreFileMask gets the returned value: for
// files another library creates, which cannot be asked to. Where it can
// (Linux), the thread first takes a umask of its own, so that other
// threads keep theirs; elsewhere the mask is the process's: keep the
// window short. Windows has no such mask: nothing changes.
unsigned OwnerOnlyNewFiles();
void RestoreFileMask(unsigned previous);
void Close(Handle handle);

[[nodiscard]] bool Exists(Handle folder, const std::string& name);
// Whether two names of the folder are one file, as on a file system that
// ignores case ("t.shp" and "t.SHP"). False when either is missing.
[[nodiscard]] bool SameFile(Handle folder, const std::string& first, const std::string& second);
// Whether a process holds a record lock (fcntl) on any byte of the file:
// how SQLite marks a database (or its -shm file) as open in a program.
// False where the platform has no such locks or the file is missing.
[[nodiscard]] bool RecordLocked(Handle folder, const std::string& name);
[[nodiscard]] int Rename(Handle folder, const std::string& from, const std::string& to);
// The same, but EEXIST rather than replace a file that has taken `to`.
[[nodiscard]] int RenameNoReplace(Handle folder, const std::string& from, const std::string& to);
// Swaps two names atomically; ENOTSUP where the file system cannot.
[[nodiscard]] int Exchange(Handle folder, const std::string& first, const std::string& second);
[[nodiscard]] int Remove(Handle folder, const std::string& name);
// Makes renames in the folder durable; a failure loses only durability.
void SyncFolder(Handle folder);
// An advisory lock on the folder, for creating temporaries and for the
// moment of a commit; saves of other processes into the same folder wait
// for it. While another process holds it, `keepWaiting` (may be empty) is
// asked now and then; its false, or a termination request, ends the wait
// with ECANCELED.
[[nodiscard]] int LockFolder(Handle folder, const std::function<bool()>& keepWaiting = {});
void UnlockFolder(Handle folder);

// Marks a temporary as its writer's while `hold` stays open; created under
// the folder's lock, a temporary is never seen unmarked. Where the platform
// cannot mark (Windows) `hold` is kNoHandle and Abandoned never says yes.
[[nodiscard]] int HoldTemporary(Handle folder, const std::string& name, Handle& hold);
// Whether `name` is a regular file of this user that no living process
// holds: its writer is provably gone.
[[nodiscard]] bool Abandoned(Handle folder, const std::string& name);
// The names in the folder that begin with `prefix`.
std::vector<std::string> NamesStartingWith(Handle folder, std::string_view prefix);
// The same folder, whatever path reached it.
[[nodiscard]] bool SameFolder(Handle first, Handle second);
[[nodiscard]] bool FolderBefore(Handle first, Handle second);  // a fixed order for locking

std::uint64_t RandomBits();
// An errno value explained in English, whatever the locale.
std::string ErrorText(int error);
// Sets this thread's x87 arithmetic to the full 64-bit significand, which
// the output digits need. Windows starts every thread at 53 bits; Linux at
// 64, where this changes nothing. Each new thread calls it first.
void UseExtendedPrecision();
// Processors this process may run on.
int ProcessorCount();
// The folder of the running program's executable ("" if unknown).
std::string ExecutableFolder();
// A module (shared library) loaded at run time, and a symbol of it; null
// when either cannot be found, the loader's reason in `error` (may be null).
void* OpenModule(const std::string& path, std::string* error = nullptr);
void* ModuleSymbol(void* module, const char* name);

// Temporaries that must not outlive the process: removed at exit and by
// RemoveTemporaries, which may run in a signal handler. Register returns a
// ticket for Unregister (-1 when every slot is taken).
int RegisterTemporary(Handle folder, const std::string& name);
void UnregisterTemporary(int ticket);
void RemoveTemporaries();

// Interrupts (SIGINT), SIGTERM and SIGHUP become a request to end the
// program: TerminationRequested() turns true, and the returned handle
// becomes readable, for an event loop to watch. Every other signal that
// would end the process still ends it, but removes the temporaries first.
Handle CatchTerminationSignals();
[[nodiscard]] bool TerminationRequested();
// A write past the file-size limit or into a closed pipe fails with an
// error the program reports, instead of killing it.
void IgnoreSignalsThatKillWrites();
// Where a fatal signal still runs code (an abort), the temporaries go first.
void RemoveTemporariesOnAbort();

// Opens /dev/null on standard input, output or error where one is closed,
// so that no file the program opens can take their place.
void EnsureStandardDescriptors();

// The command line as UTF-8 (on Windows from the wide command line, so that
// any file name survives), the program's name first.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Whether anything (a file, a folder, a link) has this path.
[[nodiscard]] bool PathExists(const std::string& path);
// Whether standard error is a terminal (a console on Windows).
[[nodiscard]] bool StandardErrorIsTerminal();

// The folder that keeps this user's settings of the program: the folder
// TAVIMO_CONFIG_HOME names when it is set (tests, a copy kept on a stick);
// else $XDG_CONFIG_HOME/tavimo or ~/.config/tavimo on Linux, and
// %APPDATA%\Tavimo on Windows. "" when the system names no such place.
std::string SettingsFolder();
// `name` inside `folder`, joined by the platform's separator.
std::string PathInFolder(const std::string& folder, std::string_view name);
// Makes `folder` and every missing folder above it (on Linux for this user
// alone, as settings folders are); 0 also when it is there already.
[[nodiscard]] int MakeFolders(const std::string& folder);
// Reads a whole regular file of at most `limit` bytes into `text` (EFBIG
// when larger; a device, pipe or folder is refused without waiting on it).
[[nodiscard]] int ReadSmallFile(const std::string& path, std::size_t limit, std::string& text);

}  // namespace tavimo::platform
