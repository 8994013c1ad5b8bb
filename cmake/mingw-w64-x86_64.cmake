# Cross-building the Windows programs on Debian with MinGW-w64 (the POSIX
# thread model, for std::thread). Its long double is the same 80-bit x87
# type as on Linux, so both platforms write the same digits.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVIMO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVIMO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIMO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIMO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIMO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file a program: the C++ runtime, libgcc and winpthreads linked in,
# so nothing needs installing on the Windows side.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
