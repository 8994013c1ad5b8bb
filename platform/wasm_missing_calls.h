#pragma once
// What WebAssembly's C library (emscripten's musl) lacks of the Linux
// calls platform_posix.cpp makes: renameat2 and its flags. Included ahead
// of that file there only (platform/CMakeLists.txt). The call fails with
// ENOSYS, and the saves take the fallbacks they have for file systems
// without it.

#define RENAME_NOREPLACE 1
#define RENAME_EXCHANGE 2

extern "C" int renameat2(int oldFolder, const char* oldName, int newFolder, const char* newName, unsigned flags);
