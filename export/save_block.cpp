#include "export/save_block.h"

#include <cerrno>
#include <new>

#include "export/cht_writer.h"
#include "export/chunked_writer.h"
#include "export/dxf_writer.h"
#include "export/file_naming.h"
#include "export/gis_save.h"
#include "model/block_layout.h"
#include "platform/platform.h"
#include "output/text_output_file.h"

namespace tavimo {
namespace {

SaveOutcome Failed(const std::string& path, int error) {
  SaveOutcome outcome;
  outcome.kind = SaveOutcome::Kind::kFailed;
  outcome.path = path;
  outcome.error = error;
  return outcome;
}

SaveOutcome Failed(const TextOutputFile& file) { return Failed(file.path(), file.error()); }

SaveOutcome Cancelled() { return {SaveOutcome::Kind::kCancelled, {}, 0, {}}; }

// Grid lines by index: the column lines, then the row lines, as
// BlockLayout::WalkGridLines hands them over.
template <typename Write>
auto GridLines(const BlockLayout& layout, Write write) {
  const std::uint64_t columnLines = layout.columnCount() >= 0 ? layout.columnCount() + 1 : 0;
  return [&layout, write, columnLines](TextBuffer& sink, std::uint64_t first, std::uint64_t last) mutable {
    for (std::uint64_t i = first; i < last; ++i) {
      write(sink, i < columnLines ? layout.ColumnLine(static_cast<std::int64_t>(i))
                                  : layout.RowLine(static_cast<std::int64_t>(i - columnLines)));
    }
  };
}

// Cell labels by index: row by row, as BlockLayout::WalkCellLabels hands
// them over.
template <typename Write>
auto CellLabels(const BlockLayout& layout, Write write) {
  return [&layout, write, walk = LabelWalk(layout)](TextBuffer& sink, std::uint64_t first,
                                                    std::uint64_t last) mutable {
    if (first >= last) return;
    const std::int64_t columns = layout.columnCount();
    std::int64_t row = static_cast<std::int64_t>(first / static_cast<std::uint64_t>(columns));
    std::int64_t column = static_cast<std::int64_t>(first % static_cast<std::uint64_t>(columns));
    for (std::uint64_t i = first; i < last; ++i) {
      write(sink, walk.At(column, row));
      if (++column == columns) {
        column = 0;
        ++row;
      }
    }
  };
}

// The size a walk will take, from its first item: room reserved up front
// saves the file system work per write; a wrong guess costs nothing.
template <typename Format>
std::uint64_t GuessSize(Format format, std::uint64_t count) {
  if (count == 0) return 0;
  TextBuffer sample;
  format(sample, 0, 1);
  return sample.text().size() * count + count / 16;
}

SaveOutcome SaveDxf(const std::string& path, const BlockSpec& spec, const BlockLayout& layout,
                    ProgressCounter& progress) {
  TextOutputFile file;
  if (!progress.Start()) return Cancelled();
  if (!file.OpenForOutput(path)) return Failed(file);

  const auto lines = GridLines(layout, DxfLineWriter());
  const auto labels = CellLabels(layout, DxfLabelWriter(DxfTextRotation(spec), DxfTextHeight(spec)));
  file.Reserve(GuessSize(lines, layout.lineCount()) + GuessSize(labels, layout.labelCount()) + 64);
  WriteDxfHeader(file);
  const bool walked = WriteItems(file, layout.lineCount(), lines, progress) &&
                      WriteItems(file, layout.labelCount(), labels, progress);
  if (!file.ok()) return Failed(file);
  if (!walked) return Cancelled();  // the temporary goes with `file`

  WriteDxfTrailer(file);
  if (!file.Close()) return Failed(file);
  AtomicFile* const files[] = {&file.file()};
  bool cancelled = false;
  if (CommitFiles(files, [&] { return progress.Finish(); }, &cancelled) != nullptr) return Failed(file.path(), file.file().error());
  return cancelled ? Cancelled() : SaveOutcome{};
}

SaveOutcome SaveCht(const std::string& path, const BlockLayout& layout, ProgressCounter& progress) {
  TextOutputFile cht;
  TextOutputFile rws;
  if (!progress.Start()) return Cancelled();
  if (!cht.OpenForOutput(path)) return Failed(cht);

  const auto lines = GridLines(layout, ChtLineWriter());
  const auto cells = CellLabels(layout, RwsCellWriter());
  cht.Reserve(GuessSize(lines, layout.lineCount()) + 16);
  WriteChtHeader(cht);
  bool walked = WriteItems(cht, layout.lineCount(), lines, progress);
  if (!cht.ok()) return Failed(cht);
  if (!walked) return Cancelled();

  OpenRwsCompanion(cht, rws, path);
  if (!cht.ok()) return Failed(cht);
  if (!rws.ok()) return Failed(rws);

  rws.Reserve(GuessSize(cells, layout.labelCount()) + 64);
  walked = WriteItems(rws, layout.labelCount(), cells, progress);
  if (!rws.ok()) return Failed(rws);
  if (!walked) return Cancelled();

  // Programs that read the RWS file may rely on these closing lines.
  WriteDxfTrailer(rws);
  if (!rws.Close()) return Failed(rws);

  // The RWS file first: whoever waits for the chosen CHT file finds its
  // companion complete when it appears.
  AtomicFile* const files[] = {&rws.file(), &cht.file()};
  bool cancelled = false;
  if (AtomicFile* failed = CommitFiles(files, [&] { return progress.Finish(); }, &cancelled))
    return Failed(failed->path(), failed->error());
  return cancelled ? Cancelled() : SaveOutcome{};
}

SaveOutcome Save(const std::string& path, const BlockSpec& spec, Progress* progress, const SaveOptions& options) {
  const SaveFormat format = FormatOfPath(path);
  if (format == SaveFormat::kNone) return {SaveOutcome::Kind::kUnknownType, {}, 0, {}};
  const BlockLayout layout(spec);
  switch (format) {
    case SaveFormat::kDxf: {
      ProgressCounter counter(progress, layout.lineCount() + layout.labelCount());
      return SaveDxf(path, spec, layout, counter);
    }
    case SaveFormat::kCht: {
      ProgressCounter counter(progress, layout.lineCount() + layout.labelCount());
      return SaveCht(path, layout, counter);
    }
    default:
      return SaveGis(path, format, spec, progress, options.srs);
  }
}

}  // namespace

bool TwoProcessors() { return platform::ProcessorCount() > 1; }

SaveOutcome SaveBlockTo(const std::string& path, const BlockSpec& spec, Progress* progress,
                        const SaveOptions& options) {
  try {
    return Save(path, spec, progress, options);
  } catch (const std::bad_alloc&) {
    // Every temporary went with the unwinding; report it like a failed write.
    return Failed(path, ENOMEM);
  }
}

std::vector<std::string> FilesOfSave(const std::string& path) {
  switch (FormatOfPath(path)) {
    case SaveFormat::kCht: return {path, RwsPathFor(path)};
    case SaveFormat::kShapefile: return GisFilesOf(path);
    default: return {path};
  }
}

std::optional<Notice> NoticeFor(const SaveOutcome& outcome) {
  switch (outcome.kind) {
    case SaveOutcome::Kind::kSaved:
    case SaveOutcome::Kind::kCancelled:
      return std::nullopt;
    case SaveOutcome::Kind::kUnknownType:
      return Notice{NoticeId::kUnknownFileType, NoticeIcon::kWarning, "Unknown file type",
                    GisFormatsAvailable() ? "Please choose a file name ending in .dxf, .cht, .gpkg, .geojson or .shp"
                                          : "Please choose a file name ending in .dxf or .cht"};
    case SaveOutcome::Kind::kRefused:
      return Notice{NoticeId::kSaveRefused, NoticeIcon::kWarning, "Save refused", outcome.reason};
    case SaveOutcome::Kind::kFailed:
      break;
  }
  const std::string reason = outcome.error != 0 ? platform::ErrorText(outcome.error) : outcome.reason;
  return Notice{NoticeId::kSaveFailed, NoticeIcon::kError, "Save failed",
                "Could not write " + outcome.path + ": " + reason};
}

}  // namespace tavimo
