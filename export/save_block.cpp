#include "export/save_block.h"

#include <cstdint>

#include "export/cht_writer.h"
#include "export/dxf_writer.h"
#include "model/block_layout.h"
#include "textout/text_output_file.h"

namespace tavimo {
namespace {

// Progress is reported every this many grid lines and labels: often enough
// for a responsive Cancel, rarely enough to cost nothing.
constexpr std::uint64_t kProgressEvery = 4096;

class ProgressCounter {
 public:
  ProgressCounter(Progress* progress, std::uint64_t total) : progress_(progress), total_(total) {}

  bool Start() { return progress_ == nullptr || progress_->Step(0, total_); }
  bool Tick() {
    ++done_;
    if (progress_ == nullptr || done_ % kProgressEvery != 0) return true;
    return progress_->Step(done_, total_);
  }
  bool Finish() { return progress_ == nullptr || progress_->Step(total_, total_); }

 private:
  Progress* progress_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
};

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

SaveResult SaveDxf(MessagePort& messages, const std::string& path, const BlockSpec& spec,
                   const BlockLayout& layout, ProgressCounter& progress) {
  TextOutputFile file;
  if (!progress.Start()) return SaveResult::kCancelled;
  if (!file.OpenForOutput(path)) return Failed(messages, file);

  WriteDxfHeader(file);
  const float rotation = DxfTextRotation(spec);
  const float height = DxfTextHeight(spec);
  const bool walked =
      layout.WalkGridLines([&](const GridLine& line) {
        WriteDxfGridLine(file, line);
        return file.ok() && progress.Tick();
      }) &&
      layout.WalkCellLabels([&](const CellLabel& label) {
        WriteDxfCellLabel(file, label, rotation, height);
        return file.ok() && progress.Tick();
      });
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
  bool walked = layout.WalkGridLines([&](const GridLine& line) {
    WriteChtLine(cht, line);
    return cht.ok() && progress.Tick();
  });
  if (!cht.ok()) return Failed(messages, cht);
  if (!walked) return SaveResult::kCancelled;

  OpenRwsCompanion(cht, rws, path);
  if (!cht.ok()) return Failed(messages, cht);
  if (!rws.ok()) return Failed(messages, rws, &cht);

  walked = layout.WalkCellLabels([&](const CellLabel& label) {
    WriteRwsCell(rws, label);
    return rws.ok() && progress.Tick();
  });
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
