// The Windows side of platform/platform.h. Paths arrive as UTF-8 and go to
// the wide (UTF-16) calls, so any name works whatever the code page.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "platform/wide_text.h"

namespace tavimo::platform {
namespace {

using win32::Utf8;
using win32::Wide;

// Windows errors without an errno counterpart travel as this base plus
// their code, so that ErrorText can still explain them.
constexpr int kWindowsErrorBase = 0x10000;

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: case ERROR_BAD_NET_NAME:
      return ENOENT;
    // A file another program holds open keeps Windows' own words ("...being
    // used by another process"), which tell the user what to do.
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: case ERROR_CURRENT_DIRECTORY:
      return EACCES;
    case ERROR_FILE_EXISTS: case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY: case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_NOT_SUPPORTED: case ERROR_CALL_NOT_IMPLEMENTED: return ENOTSUP;
    case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME: return EINVAL;
    case ERROR_INVALID_HANDLE: return EBADF;
    default: return kWindowsErrorBase + static_cast<int>(error & 0xFFFF);
  }
}

int LastError() { return ErrnoOf(GetLastError()); }

// A folder handle: the path the calls below are relative to, the open
// folder (which keeps it from being renamed or removed meanwhile) and the
// commit lock while one is held.
struct Folder {
  std::wstring path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE lock = nullptr;
};

std::mutex folderMutex;
std::set<Folder*> folders;

Folder* FolderOf(Handle handle) { return reinterpret_cast<Folder*>(handle); }
HANDLE FileOf(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

std::wstring InFolder(Handle folder, const std::string& name) {
  std::wstring path = FolderOf(folder)->path;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + Wide(name);
}

// A virus scanner or indexer may hold a fresh file open for a moment; a
// rename or removal then fails with a sharing violation that soon passes.
template <typename Call>
bool RetryWhileShared(Call call) {
  for (int attempt = 0;; ++attempt) {
    if (call()) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == 20) return false;
    Sleep(50);
    SetLastError(error);
  }
}

bool FileId(Handle folder, BY_HANDLE_FILE_INFORMATION& info) {
  return GetFileInformationByHandle(FolderOf(folder)->handle, &info) != 0;
}

// The absolute path in its "\\?\" form, which the wide calls take beyond
// MAX_PATH (260) characters: a save deep in a project tree still works.
std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;  // already, or a device
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);     // \\server\share
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

// The file a link points to; empty when it points nowhere.
std::wstring FinalPath(const std::wstring& path) {
  const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring final(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  if (n >= final.size()) {
    final.resize(n + 1);
    n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  }
  CloseHandle(h);
  final.resize(n < final.size() ? n : 0);
  return final;
}

bool IsDiskFile(const std::wstring& path) {
  const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;  // cannot tell; the save itself will see
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  CloseHandle(h);
  return disk;
}

}  // namespace

int ResolveTarget(const std::string& path, Target& target, Link link) {
  if (path.empty()) return ENOENT;
  target.followed = false;
  std::wstring resolved = FullPath(Wide(path));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  bool exists = GetFileAttributesExW(resolved.c_str(), GetFileExInfoStandard, &data) != 0;
  if (!exists) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return ErrnoOf(error);
  } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && link == Link::kItself) {
    exists = false;  // replaced or removed like a missing file
  } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // Replace the file the link points to, not the link. A dangling link
    // is replaced itself, like a missing file.
    const std::wstring final = FinalPath(resolved);
    exists = !final.empty() && GetFileAttributesExW(final.c_str(), GetFileExInfoStandard, &data) != 0;
    if (!final.empty()) resolved = final;
    target.followed = !final.empty();
  }
  const auto slash = resolved.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return EINVAL;
  const std::wstring folder = resolved.substr(0, slash + 1);
  target.folder = Utf8(folder);
  target.name = Utf8(resolved.substr(slash + 1));
  if (target.name.empty()) return EISDIR;
  target.exists = exists;
  target.mode = 0;  // Windows keeps access rights in the folder's inherited ACL
  target.owner = target.group = -1;

  if (exists) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return EACCES;
    if (!IsDiskFile(resolved)) return EINVAL;  // a device is no file to replace
  }
  const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
  return 0;
}

int OpenFolder(const std::string& folder, Handle& handle) {
  auto opened = std::make_unique<Folder>();
  opened->path = Wide(folder);
  opened->handle = CreateFileW(opened->path.c_str(), FILE_LIST_DIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened->handle == INVALID_HANDLE_VALUE) return LastError();
  std::lock_guard<std::mutex> lock(folderMutex);
  folders.insert(opened.get());
  handle = reinterpret_cast<Handle>(opened.release());
  return 0;
}

int CreateTemporary(Handle folder, const std::string& name, Handle& file) {
  // Shared for deletion: an interrupted program's clean-up may remove it
  // while it is still open.
  const HANDLE h = CreateFileW(InFolder(folder, name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  file = reinterpret_cast<Handle>(h);
  return 0;
}

int Write(Handle file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(FileOf(file), data, chunk, &written, nullptr)) return LastError();
    if (written == 0) return EIO;
    data += written;
    size -= written;
  }
  return 0;
}

void Reserve(Handle file, std::uint64_t size) {
  if (size == 0) return;
  FILE_ALLOCATION_INFO info{};
  info.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  SetFileInformationByHandle(FileOf(file), FileAllocationInfo, &info, sizeof info);
}

int Truncate(Handle file, std::uint64_t size) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(FileOf(file), at, nullptr, FILE_BEGIN) || !SetEndOfFile(FileOf(file))) return LastError();
  return 0;
}

// A new file takes the folder's inherited access rights when it is created.
int SetFinalMode(Handle, const Target&) { return 0; }

int Sync(Handle file) { return FlushFileBuffers(FileOf(file)) ? 0 : LastError(); }

int SetFinalModeByName(Handle, const std::string&, const Target&) { return 0; }

unsigned OwnerOnlyNewFiles() { return 0; }

void RestoreFileMask(unsigned) {}

int SyncByName(Handle folder, const std::string& name) {
  const HANDLE h = CreateFileW(InFolder(folder, name).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  const int result = FlushFileBuffers(h) ? 0 : LastError();
  CloseHandle(h);
  return result;
}

void Close(Handle handle) {
  if (handle == kNoHandle) return;
  Folder* folder = FolderOf(handle);
  {
    std::lock_guard<std::mutex> lock(folderMutex);
    if (folders.erase(folder) == 0) folder = nullptr;
  }
  if (folder == nullptr) {
    CloseHandle(FileOf(handle));
    return;
  }
  if (folder->lock != nullptr) CloseHandle(folder->lock);
  CloseHandle(folder->handle);
  delete folder;
}

bool Exists(Handle folder, const std::string& name) {
  return GetFileAttributesW(InFolder(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows lists no folder (NamesStartingWith) and ignores case: two names
// that differ only in case never reach this as two files.
bool SameFile(Handle folder, const std::string& first, const std::string& second) {
  return Exists(folder, first) && Exists(folder, second) &&
         CompareStringOrdinal(Wide(first).c_str(), -1, Wide(second).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Windows keeps no GIS formats, and so no SQLite database, in a save.
bool RecordLocked(Handle, const std::string&) { return false; }

int Rename(Handle folder, const std::string& from, const std::string& to) {
  const std::wstring source = InFolder(folder, from), destination = InFolder(folder, to);
  // A rename within one folder: atomic, and the old file is replaced whole.
  const bool moved = RetryWhileShared([&] {
    return MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  return moved ? 0 : LastError();
}

// Windows has no atomic swap of two names; the commit moves the old file
// aside instead.
int RenameNoReplace(Handle folder, const std::string& from, const std::string& to) {
  const std::wstring source = InFolder(folder, from), destination = InFolder(folder, to);
  // Without MOVEFILE_REPLACE_EXISTING a name that exists is refused.
  const bool moved = RetryWhileShared([&] {
    return MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  });
  if (moved) return 0;
  const int error = LastError();
  return error == EACCES && GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES ? EEXIST : error;
}

int Exchange(Handle, const std::string&, const std::string&) { return ENOTSUP; }

int Remove(Handle folder, const std::string& name) {
  const std::wstring path = InFolder(folder, name);
  return RetryWhileShared([&] { return DeleteFileW(path.c_str()) != 0; }) ? 0 : LastError();
}

// Renames with MOVEFILE_WRITE_THROUGH are already durable.
void SyncFolder(Handle) {}

int LockFolder(Handle folder, const std::function<bool()>& keepWaiting) {
  // A named mutex per folder (its volume and file index), for the saves of
  // every process of this session.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!FileId(folder, info)) return 0;
  wchar_t name[80];
  std::swprintf(name, 80, L"Local\\tavimo-folder-%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return 0;
  // An abandoned lock is ours too. Waited for in steps, so that the wait
  // can be given up.
  while (WaitForSingleObject(mutex, 20) == WAIT_TIMEOUT) {
    if (TerminationRequested() || (keepWaiting && !keepWaiting())) {
      CloseHandle(mutex);
      return ECANCELED;
    }
  }
  FolderOf(folder)->lock = mutex;
  return 0;
}

// Windows gives no lock a sweep could test without racing the writer's
// own renames: its temporaries are never taken for abandoned.
int HoldTemporary(Handle, const std::string&, Handle& hold) {
  hold = kNoHandle;
  return 0;
}

bool Abandoned(Handle, const std::string&) { return false; }

std::vector<std::string> NamesStartingWith(Handle, std::string_view) { return {}; }

void UnlockFolder(Handle folder) {
  Folder* f = FolderOf(folder);
  if (f->lock == nullptr) return;
  ReleaseMutex(f->lock);
  CloseHandle(f->lock);
  f->lock = nullptr;
}

bool SameFolder(Handle first, Handle second) {
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  return FileId(first, a) && FileId(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool FolderBefore(Handle first, Handle second) {
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  if (!FileId(first, a) || !FileId(second, b)) return first < second;
  const auto key = [](const BY_HANDLE_FILE_INFORMATION& i) {
    return std::tuple(i.dwVolumeSerialNumber, i.nFileIndexHigh, i.nFileIndexLow);
  };
  return key(a) < key(b);
}

std::uint64_t RandomBits() {
  std::uint64_t bits = 0;
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bits), sizeof bits, BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0)
    return bits;
  // Without the system's generator: unique enough, and CREATE_NEW settles clashes.
  static std::atomic<std::uint64_t> counter{0};
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart) ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 40) ^
         (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
}

std::string ErrorText(int error) {
  if (error < kWindowsErrorBase) {
    // The C runtime's texts are English in every language of Windows.
    const char* text = std::strerror(error);
    return text != nullptr ? text : "error " + std::to_string(error);
  }
  const DWORD code = static_cast<DWORD>(error - kWindowsErrorBase);
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? Utf8(std::wstring_view(text, n)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "Windows error " + std::to_string(code) : message;
}

void UseExtendedPrecision() {
  // Precision control (bits 8 and 9 of the control word) to 64 bits; the
  // rounding mode and exception masks stay.
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control = static_cast<unsigned short>(control | 0x0300);
  __asm__ volatile("fldcw %0" : : "m"(control));
}

int ProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
    return std::popcount(static_cast<std::uint64_t>(process));
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

std::string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::string() : Utf8(path.substr(0, slash));
}

void* OpenModule(const std::string& path, std::string* error) {
  void* module = reinterpret_cast<void*>(LoadLibraryW(Wide(path).c_str()));
  if (module == nullptr && error != nullptr) *error = path + ": " + ErrorText(LastError());
  return module;
}

void* ModuleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// Each slot holds a temporary's full path, or null when free. Clearing a
// slot is one atomic exchange, so the clean-up may run from the console's
// control thread or an abort while the program goes on.
namespace {
constexpr int kSlots = 64;
std::atomic<wchar_t*> slots[kSlots];
std::once_flag exitHook;
}  // namespace

int RegisterTemporary(Handle folder, const std::string& name) {
  std::call_once(exitHook, [] { std::atexit(RemoveTemporaries); });
  const std::wstring path = InFolder(folder, name);
  auto* copy = new wchar_t[path.size() + 1];
  std::memcpy(copy, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  for (int i = 0; i < kSlots; ++i) {
    wchar_t* expected = nullptr;
    if (slots[i].compare_exchange_strong(expected, copy)) return i;
  }
  delete[] copy;
  return -1;
}

void UnregisterTemporary(int ticket) {
  if (ticket >= 0 && ticket < kSlots) delete[] slots[ticket].exchange(nullptr);
}

// The paths of removed temporaries are not freed: this may run in an abort.
void RemoveTemporaries() {
  for (auto& slot : slots)
    if (wchar_t* path = slot.exchange(nullptr)) DeleteFileW(path);
}

namespace {
std::atomic<bool> terminationRequested{false};
HANDLE terminationEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  terminationRequested = true;
  if (terminationEvent != nullptr) SetEvent(terminationEvent);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // Windows ends the process when this returns: give the save a moment
    // to cancel itself, then take whatever temporaries are left.
    for (int i = 0; i < 40 && std::any_of(std::begin(slots), std::end(slots),
                                          [](const auto& slot) { return slot.load() != nullptr; });
         ++i)
      Sleep(50);
    RemoveTemporaries();
  }
  return TRUE;
}

void OnAbort(int signal) {
  RemoveTemporaries();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
}  // namespace

Handle CatchTerminationSignals() {
  if (terminationEvent == nullptr) terminationEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  return terminationEvent == nullptr ? kNoHandle : reinterpret_cast<Handle>(terminationEvent);
}

bool TerminationRequested() { return terminationRequested.load(); }

// Windows has no signal that kills a write.
void IgnoreSignalsThatKillWrites() {}

void RemoveTemporariesOnAbort() { std::signal(SIGABRT, OnAbort); }

void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (opened >= 0 && opened != fd) {
      _dup2(opened, fd);
      _close(opened);
    }
  }
  // Messages are UTF-8, as file names are. The console is the user's: its
  // code page goes back at exit.
  static UINT userCodePage = 0;
  userCodePage = GetConsoleOutputCP();
  if (userCodePage != 0 && userCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    std::atexit([] { SetConsoleOutputCP(userCodePage); });
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The narrow argv went through the ANSI code page; the wide command line
  // keeps every character of a file name.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) {
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool PathExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

std::wstring Environment(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), n));
  return value;
}

int MakeFoldersWide(std::wstring path) {
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (CreateDirectoryW(path.c_str(), nullptr)) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_PATH_NOT_FOUND) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0) {
      if (const int above = MakeFoldersWide(path.substr(0, slash)); above != 0) return above;
      if (CreateDirectoryW(path.c_str(), nullptr)) return 0;
      error = GetLastError();
    }
  }
  // A drive's root, or a folder made meanwhile.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
  return ErrnoOf(error);
}

}  // namespace

std::string SettingsFolder() {
  if (std::wstring own = Environment(L"TAVIMO_CONFIG_HOME"); !own.empty()) return Utf8(own);
  const std::wstring roaming = Environment(L"APPDATA");
  return roaming.empty() ? std::string() : PathInFolder(Utf8(roaming), "Tavimo");
}

std::string PathInFolder(const std::string& folder, std::string_view name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + std::string(name);
  return folder + "\\" + std::string(name);
}

int MakeFolders(const std::string& folder) {
  if (folder.empty()) return ENOENT;
  return MakeFoldersWide(FullPath(Wide(folder)));
}

int ReadSmallFile(const std::string& path, std::size_t limit, std::string& text) {
  const HANDLE file = CreateFileW(FullPath(Wide(path)).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  int error = GetFileType(file) == FILE_TYPE_DISK ? 0 : EINVAL;
  LARGE_INTEGER size{};
  if (error == 0 && !GetFileSizeEx(file, &size)) error = LastError();
  if (error == 0 && static_cast<std::uint64_t>(size.QuadPart) > limit) error = EFBIG;
  std::string read;
  if (error == 0) {
    // One byte more than allowed finds a file that grew meanwhile.
    read.resize(limit + 1);
    std::size_t used = 0;
    while (used < read.size()) {
      DWORD n = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(read.size() - used, 1u << 20));
      if (!ReadFile(file, read.data() + used, wanted, &n, nullptr)) {
        error = LastError();
        break;
      }
      if (n == 0) break;
      used += n;
    }
    read.resize(used);
    if (error == 0 && used > limit) error = EFBIG;
  }
  CloseHandle(file);
  if (error == 0) text = std::move(read);
  return error;
}

}  // namespace tavimo::platform
