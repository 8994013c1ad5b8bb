#include "export/save_block.h"

#include <sched.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "export/cht_writer.h"
#include "export/dxf_writer.h"
#include "model/block_layout.h"
#include "textout/text_output_file.h"

namespace tavimo {
namespace {

// The walks go in chunks of this many items: progress is reported after
// each chunk, often enough for a responsive Cancel, rarely enough to cost
// nothing. A chunk's text (a few hundred bytes an item at most) fits a file
// in memory; should it ever not, the save fails with ENOBUFS instead of
// writing part of it.
constexpr std::uint64_t kChunkItems = 2048;
// Chunks held at once by a walk on two threads: one being formatted by each
// thread, one being written, one ready.
constexpr int kSlots = 4;

class ProgressCounter {
 public:
  ProgressCounter(Progress* progress, std::uint64_t total) : progress_(progress), total_(total) {}

  bool Start() { return progress_ == nullptr || progress_->Step(0, total_); }
  bool Add(std::uint64_t items) {
    done_ += items;
    // The end is for Finish to report, once the files are complete.
    return progress_ == nullptr || done_ >= total_ || progress_->Step(done_, total_);
  }
  bool Finish() { return progress_ == nullptr || progress_->Step(total_, total_); }

 private:
  Progress* progress_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
};

// Whether a second thread can run beside this one: more than one processor
// that this process may use.
bool TwoProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return std::thread::hardware_concurrency() > 1;
  return CPU_COUNT(&set) > 1;
}

// Writes the items [0, count) of one walk in order: `format(sink, first,
// last)` writes items first .. last-1 to `sink`. False when the walk stopped
// early, for a failed write (see file.ok()) or a cancel.
//
// The items go in chunks of kChunkItems, each formatted into a file in
// memory and then appended to `file`. A large walk takes both processors:
// this thread and a helper each take the next chunk to format, and
// whichever finds the next chunk in order ready appends it, so that
// formatting goes on while the other thread writes, and neither waits for
// the other while a few chunks may be held. Memory stays at kSlots chunks;
// progress and cancel stay on this thread.
template <typename Format>
bool WriteItems(TextOutputFile& file, std::uint64_t count, Format format, ProgressCounter& progress) {
  const std::uint64_t chunks = (count + kChunkItems - 1) / kChunkItems;
  auto chunkEnd = [&](std::uint64_t k) { return k + 1 < chunks ? (k + 1) * kChunkItems : count; };

  if (chunks <= 2 || !TwoProcessors()) {
    TextOutputFile memory;
    memory.OpenInMemory();
    for (std::uint64_t k = 0; k < chunks; ++k) {
      format(memory, k * kChunkItems, chunkEnd(k));
      file.Append(memory);
      if (!file.ok() || !progress.Add(chunkEnd(k) - k * kChunkItems)) return false;
    }
    return true;
  }

  constexpr std::uint64_t kFree = ~std::uint64_t{0};
  struct Slot {
    TextOutputFile text;
    std::uint64_t chunk = kFree;  // the chunk it holds or is being formatted into it
    bool ready = false;
  };
  Slot slots[kSlots];
  for (Slot& slot : slots) slot.text.OpenInMemory();
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t taken = 0;    // chunks handed out for formatting
  std::uint64_t written = 0;  // chunks appended to `file`
  bool appending = false;
  bool stop = false;

  auto work = [&](bool reports) {
    std::uint64_t reported = 0;  // chunks, each reported as a step of its own
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop) {
      Slot* next = nullptr;
      Slot* empty = nullptr;
      for (Slot& slot : slots) {
        if (slot.chunk == written && slot.ready) next = &slot;
        if (slot.chunk == kFree) empty = &slot;
      }
      if (next != nullptr && !appending) {  // the next chunk in order
        appending = true;
        lock.unlock();
        file.Append(next->text);  // only one thread at a time touches `file`
        const bool ok = file.ok();
        lock.lock();
        appending = false;
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
        format(empty->text, k * kChunkItems, chunkEnd(k));
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
    helper = std::thread([&] { work(false); });
  } catch (const std::system_error&) {
    // No second thread to be had: this one does all the work.
  }
  work(true);
  if (helper.joinable()) helper.join();
  return !stop;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// The extension after the last "." of the last path component, or npos.
std::size_t ExtensionStart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string_view::npos;
  return dot + 1;
}

// Removes every temporary before the message: the message box may stay open
// for a while and must not find one lying around.
SaveResult Failed(MessagePort& messages, TextOutputFile& failed, TextOutputFile* other = nullptr) {
  failed.Discard();
  if (other != nullptr) other->Discard();
  messages.ShowMessage("Could not write " + failed.path() + ": " + ErrorText(failed.error()),
                       kSaveFailedCaption, kMessageError);
  return SaveResult::kFailed;
}

// Grid lines by index: the column lines, then the row lines, as
// BlockLayout::WalkGridLines hands them over.
template <typename Write>
auto GridLines(const BlockLayout& layout, Write write) {
  const std::uint64_t columnLines = layout.columnCount() >= 0 ? layout.columnCount() + 1 : 0;
  return [&layout, write, columnLines](TextOutputFile& sink, std::uint64_t first, std::uint64_t last) {
    for (std::uint64_t i = first; i < last; ++i) {
      write(sink, i < columnLines ? layout.ColumnLine(static_cast<std::int64_t>(i))
                                  : layout.RowLine(static_cast<std::int64_t>(i - columnLines)));
    }
  };
}

// Cell labels by index: row by row, as BlockLayout::WalkCellLabels hands
// them over. Each label is computed one step ahead of its writing: reading
// the bits of a value the x87 has only just stored would wait for the store.
template <typename Write>
auto CellLabels(const BlockLayout& layout, Write write) {
  return [&layout, write](TextOutputFile& sink, std::uint64_t first, std::uint64_t last) {
    if (first >= last) return;
    const std::int64_t columns = layout.columnCount();
    std::int64_t row = static_cast<std::int64_t>(first / static_cast<std::uint64_t>(columns));
    std::int64_t column = static_cast<std::int64_t>(first % static_cast<std::uint64_t>(columns));
    Write writeLabel = write;  // the writer's caches belong to this call alone, whatever thread makes it
    CellLabel labels[2];
    ::new (&labels[0]) CellLabel(layout.Label(column, row));  // made in place, not copied
    for (std::uint64_t i = first; i < last; ++i) {
      if (++column == columns) {
        column = 0;
        ++row;
      }
      if (i + 1 < last) ::new (&labels[(i + 1) & 1]) CellLabel(layout.Label(column, row));
      writeLabel(sink, labels[i & 1]);
    }
  };
}

SaveResult SaveDxf(MessagePort& messages, const std::string& path, const BlockSpec& spec,
                   const BlockLayout& layout, ProgressCounter& progress) {
  TextOutputFile file;
  if (!progress.Start()) return SaveResult::kCancelled;
  if (!file.OpenForOutput(path)) return Failed(messages, file);

  WriteDxfHeader(file);
  const float rotation = DxfTextRotation(spec);
  const float height = DxfTextHeight(spec);
  const auto writeLine = [](TextOutputFile& sink, const GridLine& line) { WriteDxfGridLine(sink, line); };
  const DxfLabelWriter writeLabel(rotation, height);
  const bool walked = WriteItems(file, layout.lineCount(), GridLines(layout, writeLine), progress) &&
                      WriteItems(file, layout.labelCount(), CellLabels(layout, writeLabel), progress);
  if (!file.ok()) return Failed(messages, file);
  if (!walked) return SaveResult::kCancelled;  // the temporary goes with `file`

  WriteDxfTrailer(file);
  if (!file.Close()) return Failed(messages, file);
  if (!progress.Finish()) return SaveResult::kCancelled;
  if (!file.Commit()) return Failed(messages, file);
  return SaveResult::kSaved;
}

SaveResult SaveCht(MessagePort& messages, const std::string& path, const BlockLayout& layout,
                   ProgressCounter& progress) {
  TextOutputFile cht;
  TextOutputFile rws;
  if (!progress.Start()) return SaveResult::kCancelled;
  if (!cht.OpenForOutput(path)) return Failed(messages, cht);

  WriteChtHeader(cht);
  const auto writeLine = [](TextOutputFile& sink, const GridLine& line) { WriteChtLine(sink, line); };
  bool walked = WriteItems(cht, layout.lineCount(), GridLines(layout, writeLine), progress);
  if (!cht.ok()) return Failed(messages, cht);
  if (!walked) return SaveResult::kCancelled;

  OpenRwsCompanion(cht, rws, path);
  if (!cht.ok()) return Failed(messages, cht);
  if (!rws.ok()) return Failed(messages, rws, &cht);

  const RwsCellWriter writeCell{};
  walked = WriteItems(rws, layout.labelCount(), CellLabels(layout, writeCell), progress);
  if (!rws.ok()) return Failed(messages, rws, &cht);
  if (!walked) return SaveResult::kCancelled;

  // Programs that read the RWS file may rely on these closing lines.
  WriteDxfTrailer(rws);
  if (!rws.Close()) return Failed(messages, rws, &cht);
  if (!progress.Finish()) return SaveResult::kCancelled;

  // The RWS file first: whoever waits for the chosen CHT file finds its
  // companion complete when it appears.
  if (TextOutputFile* failed = CommitBoth(rws, cht)) return Failed(messages, *failed);
  return SaveResult::kSaved;
}

}  // namespace

SaveFormat FormatOfPath(std::string_view path) {
  const std::size_t start = ExtensionStart(path);
  if (start == std::string_view::npos) return SaveFormat::kNone;
  const std::string_view extension = path.substr(start);
  if (EqualsNoCase(extension, "dxf")) return SaveFormat::kDxf;
  if (EqualsNoCase(extension, "cht")) return SaveFormat::kCht;
  return SaveFormat::kNone;
}

std::string RwsPathFor(std::string_view chtPath) {
  std::string path(chtPath);
  if (FormatOfPath(chtPath) != SaveFormat::kCht) return path + ".rws";
  const std::size_t start = ExtensionStart(chtPath);
  static constexpr char kFrom[] = "cht";
  static constexpr char kTo[] = "rws";
  for (std::size_t i = 0; i < 3; ++i) {
    const bool upper = path[start + i] != kFrom[i];
    path[start + i] = upper ? static_cast<char>(kTo[i] - 'a' + 'A') : kTo[i];
  }
  return path;
}

SaveResult SaveBlock(SavePort& port, const BlockSpec& spec, Progress* progress) {
  const std::optional<std::string> path =
      port.AskSaveFileName(kSaveInitialName, kSaveFilter, kSaveDefaultExtension);
  if (!path) return SaveResult::kCancelled;
  return SaveBlockTo(port, *path, spec, progress);
}

SaveResult SaveBlockTo(MessagePort& messages, const std::string& path, const BlockSpec& spec,
                       Progress* progress) {
  const SaveFormat format = FormatOfPath(path);
  if (format == SaveFormat::kNone) {
    messages.ShowMessage(kUnknownTypeText, kUnknownTypeCaption, kMessageWarning);
    return SaveResult::kUnknownType;
  }
  const BlockLayout layout(spec);
  ProgressCounter counter(progress, layout.lineCount() + layout.labelCount());
  return format == SaveFormat::kDxf ? SaveDxf(messages, path, spec, layout, counter)
                                    : SaveCht(messages, path, layout, counter);
}

}  // namespace tavimo
