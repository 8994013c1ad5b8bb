# Cross-building the core, tavimo-export and the unit tests for 64-bit ARM
# Linux with Debian's aarch64 cross compiler (`make arm64`). Its long double
# is a 113-bit type, so the digits are computed in the software 80-bit type
# (number/extended.h). The results run here under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TAVIMO_CROSS_PREFIX aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TAVIMO_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAVIMO_CROSS_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIMO_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The test programs (and GoogleTest's listing of their cases) run under
# qemu, with the cross C library.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${TAVIMO_CROSS_PREFIX})

# The C++ runtime linked in: the arm64 package then needs only the C
# library, whose version any arm64 Debian 12 has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
