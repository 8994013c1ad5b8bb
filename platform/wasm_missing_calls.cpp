#include "platform/wasm_missing_calls.h"

#include <errno.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/random.h>
#include <sys/types.h>
#include <unistd.h>

#include <vector>

namespace {

int NoSuchCall() {
  errno = ENOSYS;
  return -1;
}

// The open files holding a lock, and the file each held when it took it:
// a closed or reused descriptor no longer holds it.
struct Holder {
  int fd;
  dev_t dev;
  ino_t ino;
};
std::vector<Holder>& Holders() {
  static std::vector<Holder> holders;
  return holders;
}
bool Still(const Holder& h) {
  struct stat st {};
  return fstat(h.fd, &st) == 0 && st.st_dev == h.dev && st.st_ino == h.ino;
}

// emscripten's C library starts a process with the umask 0777, which
// would give every saved file no permissions at all; elsewhere a process
// starts with 022.
[[maybe_unused]] const mode_t kStartingMask = umask(022);

}  // namespace

extern "C" {

int TavimoWasmFlock(int fd, int operation) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return -1;
  std::vector<Holder>& holders = Holders();
  std::erase_if(holders, [&](const Holder& h) { return h.fd == fd || !Still(h); });
  if ((operation & LOCK_UN) != 0) return 0;
  for (const Holder& h : holders) {
    if (h.dev == st.st_dev && h.ino == st.st_ino) {
      errno = EWOULDBLOCK;  // one thread: waiting would never end
      return -1;
    }
  }
  holders.push_back({fd, st.st_dev, st.st_ino});
  return 0;
}

int renameat2(int, const char*, int, const char*, unsigned) { return NoSuchCall(); }
int fallocate(int, int, off_t, off_t) { return NoSuchCall(); }
// The host's generator (node's crypto, a browser's) through getentropy,
// which takes 256 bytes at a time: temporaries' names must not repeat.
ssize_t getrandom(void* buffer, size_t size, unsigned) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (size_t done = 0; done < size; done += 256) {
    if (getentropy(bytes + done, size - done < 256 ? size - done : 256) != 0) return -1;
  }
  return static_cast<ssize_t>(size);
}
int unshare(int) { return NoSuchCall(); }
int sched_getaffinity(pid_t, size_t, cpu_set_t*) { return NoSuchCall(); }
int __sched_cpucount(size_t, const cpu_set_t*) { return 1; }

}
