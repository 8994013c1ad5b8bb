#pragma once
// The GIS writers' items in chunks, formatted on this thread and a helper,
// taken in order on this thread: every write to a file or to SQLite, every
// progress report and Cancel stay on the calling thread (GDAL's messages
// and the checked files are the calling thread's), while the helper
// formats the next chunks. The calling thread formats too whenever the
// next chunk in order is not ready yet. At most kSlots chunks are held.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace tavimo::gis {

inline constexpr int kSlots = 4;
// A slot without a chunk.
inline constexpr std::uint64_t kFreeSlot = ~std::uint64_t{0};

// Items [0, count) in chunks of `chunkItems`. `format(chunk, first, last)`
// fills a Chunk with items first .. last-1, on either thread (each thread
// formats with its own copy of `format`); `take(chunk, first, last)` hands
// it on, here, in order, and answers false to stop (a failure or Cancel).
// False when stopped. An exception of either thread ends the walk and is
// thrown here.
template <typename Chunk, typename Format, typename Take>
bool FormatInOrder(std::uint64_t count, std::uint64_t chunkItems, const Format& format, Take&& take) {
  const std::uint64_t chunks = (count + chunkItems - 1) / chunkItems;
  const auto first = [&](std::uint64_t k) { return k * chunkItems; };
  const auto last = [&](std::uint64_t k) { return k + 1 < chunks ? (k + 1) * chunkItems : count; };
  if (chunks <= 1 || platform::ProcessorCount() < 2) {
    Format mine = format;
    Chunk chunk;
    for (std::uint64_t k = 0; k < chunks; ++k) {
      mine(chunk, first(k), last(k));
      if (!take(chunk, first(k), last(k))) return false;
    }
    return true;
  }

  struct Slot {
    Chunk chunk;
    std::uint64_t index = kFreeSlot;  // the chunk it holds or is being formatted into it
    bool ready = false;
  };
  std::vector<Slot> slots(kSlots);
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t taken = 0;     // chunks handed out for formatting
  std::uint64_t consumed = 0;  // chunks handed on to `take`
  bool stop = false;
  std::exception_ptr thrown;

  // Formats the next chunk into a free slot; false when there is none to do.
  const auto formatOne = [&](Format& mine, std::unique_lock<std::mutex>& lock) {
    if (taken == chunks) return false;
    for (Slot& slot : slots) {
      if (slot.index != kFreeSlot) continue;
      const std::uint64_t k = taken++;
      slot.index = k;
      lock.unlock();
      try {
        mine(slot.chunk, first(k), last(k));
      } catch (...) {
        lock.lock();
        if (!thrown) thrown = std::current_exception();
        stop = true;
        changed.notify_all();
        return true;
      }
      lock.lock();
      slot.ready = true;
      changed.notify_all();
      return true;
    }
    return false;
  };

  std::thread helper;
  try {
    helper = std::thread([&] {
      platform::UseExtendedPrecision();
      Format mine = format;
      std::unique_lock<std::mutex> lock(mutex);
      while (!stop && consumed < chunks)
        if (!formatOne(mine, lock)) changed.wait(lock);
    });
  } catch (const std::system_error&) {
    // No second thread to be had: this one formats every chunk.
  }

  bool ok = true;
  {
    Format mine = format;
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop && consumed < chunks) {
      Slot* next = nullptr;
      for (Slot& slot : slots)
        if (slot.index == consumed && slot.ready) next = &slot;
      if (next != nullptr) {
        lock.unlock();
        bool goOn = false;
        try {
          goOn = take(next->chunk, first(consumed), last(consumed));
        } catch (...) {
          lock.lock();
          if (!thrown) thrown = std::current_exception();
          stop = true;
          break;
        }
        lock.lock();
        next->index = kFreeSlot;
        next->ready = false;
        ++consumed;
        if (!goOn) {
          ok = false;
          stop = true;
        }
        changed.notify_all();
      } else if (!formatOne(mine, lock)) {
        changed.wait(lock);
      }
    }
    stop = true;
    changed.notify_all();
  }
  if (helper.joinable()) helper.join();
  if (thrown) std::rethrow_exception(thrown);
  return ok;
}

}  // namespace tavimo::gis
