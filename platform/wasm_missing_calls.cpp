#include "platform/wasm_missing_calls.h"

#include <cerrno>

extern "C" int renameat2(int, const char*, int, const char*, unsigned) {
  errno = ENOSYS;
  return -1;
}
