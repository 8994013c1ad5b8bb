#pragma once
// What WebAssembly's C library (emscripten's musl) lacks of the Linux
// calls platform_posix.cpp makes: declared here where its headers do not,
// defined in wasm_missing_calls.cpp. Included ahead of platform_posix.cpp
// there only (platform/CMakeLists.txt). getrandom takes the host's
// generator; the others fail as the kernel does where it has no such call,
// and the code takes the fallback it has for that: a hard link for a
// rename that must not replace, no reservation of the file's size, the
// process's umask. flock is a no-op there, which would let the sweep of
// leftover temporaries take this process's own: locks between the open
// files of this process stand in for it (a WebAssembly process is alone).

#define RENAME_NOREPLACE 1
#define RENAME_EXCHANGE 2

extern "C" int renameat2(int oldFolder, const char* oldName, int newFolder, const char* newName, unsigned flags);

extern "C" int TavimoWasmFlock(int fd, int operation);
// Function-like: `struct flock` stays what it is.
#define flock(fd, operation) TavimoWasmFlock(fd, operation)
