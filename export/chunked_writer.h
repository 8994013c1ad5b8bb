#pragma once
// Writing the items of one walk in order, in chunks, on up to two threads,
// with progress and cancel.
//
// Each chunk of kChunkItems items is formatted into a TextBuffer in memory
// and then appended to the file. On two processors this thread and a
// helper each take the next chunk to format and append the chunks they
// formatted when their turn comes: formatting goes on while the other
// thread writes. Memory stays at four chunks; progress and cancel stay on
// the calling thread.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include "model/progress.h"
#include "platform/platform.h"
#include "output/text_output_file.h"

namespace tavimo {

// Counts items done against the total of a save and asks `progress` (may be
// null) whether to go on.
class ProgressCounter {
 public:
  ProgressCounter(Progress* progress, std::uint64_t total) : progress_(progress), total_(total) {}

  [[nodiscard]] bool Start() { return progress_ == nullptr || progress_->Step(0, total_); }
  [[nodiscard]] bool Add(std::uint64_t items) {
    done_ += items;
    // The end is for Finish to report, once the files are complete.
    return progress_ == nullptr || done_ >= total_ || progress_->Step(done_, total_);
  }
  [[nodiscard]] bool Finish() { return progress_ == nullptr || progress_->Step(total_, total_); }

 private:
  Progress* progress_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
};

// Chunks of this many items: often enough for a responsive Cancel, rarely
// enough to cost nothing. A chunk's text (a few hundred bytes an item at
// most) fits a TextBuffer.
inline constexpr std::uint64_t kChunkItems = 2048;

// Whether a second thread can run beside this one.
bool TwoProcessors();

// The size a walk of `count` items will take, from its first item: room
// reserved up front saves the file system work per write; a wrong guess
// costs nothing.
template <typename Format>
std::uint64_t GuessSize(Format format, std::uint64_t count) {
  if (count == 0) return 0;
  TextBuffer sample;
  format(sample, 0, 1);
  return sample.text().size() * count + count / 16;
}

// Writes the items [0, count): `format(buffer, first, last)` formats items
// first .. last-1. Every thread gets its own copy of `format`, so that what
// it caches is its own. False when the walk stopped early, for a failed
// write (see file.ok()) or a cancel.
template <typename Format>
[[nodiscard]] bool WriteItems(TextOutputFile& file, std::uint64_t count, const Format& format,
                              ProgressCounter& progress) {
  const std::uint64_t chunks = (count + kChunkItems - 1) / kChunkItems;
  auto chunkEnd = [&](std::uint64_t k) { return k + 1 < chunks ? (k + 1) * kChunkItems : count; };

  if (chunks <= 2 || !TwoProcessors()) {
    Format mine = format;
    TextBuffer chunk;
    for (std::uint64_t k = 0; k < chunks; ++k) {
      mine(chunk, k * kChunkItems, chunkEnd(k));
      file.Append(chunk);
      if (!file.ok() || !progress.Add(chunkEnd(k) - k * kChunkItems)) return false;
    }
    return true;
  }

  // Two slots for each thread, one being formatted while the other waits to
  // be written or is written. A thread writes the chunks it formatted, so
  // that their text is copied into the file from its own processor's cache.
  constexpr int kSlotsEach = 2;
  constexpr std::uint64_t kFree = ~std::uint64_t{0};
  struct Slot {
    TextBuffer text;
    std::uint64_t chunk = kFree;  // the chunk it holds or is being formatted into it
    bool ready = false;
  };
  // Each thread's slots on cache lines of their own: a buffer's fill count
  // changes with every line of text, and two threads writing to one cache
  // line would pass it back and forth at every line.
  struct alignas(128) Own {
    Slot of[kSlotsEach];
  };
  Own slots[2];
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t taken = 0;    // chunks handed out for formatting
  std::uint64_t written = 0;  // chunks appended to `file`
  bool stop = false;

  auto work = [&](bool reports, Slot (&own)[kSlotsEach]) {
    Format mine = format;
    std::uint64_t reported = 0;  // chunks, each reported as a step of its own
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop) {
      Slot* next = nullptr;
      Slot* empty = nullptr;
      for (Slot& slot : own) {
        if (slot.chunk == written && slot.ready) next = &slot;
        if (slot.chunk == kFree) empty = &slot;
      }
      if (next != nullptr) {  // the next chunk in order, which no other thread holds
        lock.unlock();
        file.Append(next->text);  // so only one thread at a time touches `file`
        const bool ok = file.ok();
        lock.lock();
        next->chunk = kFree;
        next->ready = false;
        ++written;
        stop = stop || !ok;
        changed.notify_all();
      } else if (reports && reported < written) {
        lock.unlock();
        const bool go = progress.Add(chunkEnd(reported) - reported * kChunkItems);
        lock.lock();
        ++reported;
        if (!go) {
          stop = true;
          changed.notify_all();
        }
      } else if (written == chunks) {
        break;
      } else if (empty != nullptr && taken < chunks) {  // format the next chunk
        const std::uint64_t k = taken++;
        empty->chunk = k;
        lock.unlock();
        mine(empty->text, k * kChunkItems, chunkEnd(k));
        lock.lock();
        empty->ready = true;
        changed.notify_all();
      } else {
        changed.wait(lock);
      }
    }
  };

  std::thread helper;
  try {
    helper = std::thread([&] {
      platform::UseExtendedPrecision();
      work(false, slots[1].of);
    });
  } catch (const std::system_error&) {
    // No second thread to be had: this one does all the work.
  }
  try {
    work(true, slots[0].of);
  } catch (...) {
    // Out of memory, say: the helper stops at its next look at `stop`.
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  return !stop;
}

}  // namespace tavimo
