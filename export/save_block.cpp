#include "export/save_block.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "export/cht_writer.h"
#include "export/chunked_writer.h"
#include "export/dxf_writer.h"
#include "export/gis_save.h"
#include "model/block_layout.h"
#include "model/clipped_walk.h"
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

SaveOutcome Refused(std::string reason) { return {SaveOutcome::Kind::kRefused, {}, 0, std::move(reason)}; }

// The whole block's lines and labels, by index: chunked, on two threads
// where there are two.
class WholeBlock {
 public:
  explicit WholeBlock(const BlockLayout& layout) : layout_(layout) {}
  std::uint64_t lineCount() const { return layout_.lineCount(); }
  std::uint64_t labelCount() const { return layout_.labelCount(); }
  template <typename Write>
  std::uint64_t GuessLines(Write write) const {
    return GuessSize(GridLines(layout_, write), lineCount());
  }
  template <typename Write>
  std::uint64_t GuessLabels(Write write) const {
    return GuessSize(CellLabels(layout_, write), labelCount());
  }
  DxfExtents Extents() const { return ExtentsOf(layout_); }
  template <typename Write>
  bool WriteLines(TextOutputFile& file, Write write, ProgressCounter& progress) const {
    return WriteItems(file, lineCount(), GridLines(layout_, write), progress);
  }
  template <typename Write>
  bool WriteLabels(TextOutputFile& file, Write write, ProgressCounter& progress) const {
    return WriteItems(file, labelCount(), CellLabels(layout_, write), progress);
  }

 private:
  const BlockLayout& layout_;
};

// Writes what a walk hands over, in its order, straight into the file; the
// progress every kChunkItems items.
template <typename Walk, typename Write>
bool WriteWalked(TextOutputFile& file, Walk walk, Write write, ProgressCounter& progress) {
  std::uint64_t inChunk = 0;
  const bool walked = walk([&](const auto& item) {
    write(file, item);
    if (++inChunk < kChunkItems) return true;
    inChunk = 0;
    return file.ok() && progress.Add(kChunkItems);
  });
  return walked && file.ok() && progress.Add(inChunk);
}

// A clipped block's lines and labels, as its walk hands them over, in
// order: the lines on this thread; the labels chunked on two threads where
// the filter can be copied (each walks the rows with its own), else here.
class ClippedBlock {
 public:
  ClippedBlock(ClippedWalk& walk, const ClippedWalk::Counts& counts) : walk_(walk), counts_(counts) {}
  std::uint64_t lineCount() const { return counts_.lines; }
  std::uint64_t labelCount() const { return counts_.cells; }
  template <typename Write>
  std::uint64_t GuessLines(Write write) const {
    return GuessSize(GridLines(walk_.layout(), write), lineCount());
  }
  template <typename Write>
  std::uint64_t GuessLabels(Write write) const {
    return GuessSize(CellLabels(walk_.layout(), write), labelCount());
  }
  // The extents of the lines written.
  DxfExtents Extents() const {
    DxfExtents e;
    walk_.WalkLines([&](const GridLine& line) {
      e.Add(line);
      return true;
    });
    return e;
  }
  template <typename Write>
  bool WriteLines(TextOutputFile& file, Write write, ProgressCounter& progress) const {
    return WriteWalked(file, [this](auto&& visit) { return walk_.WalkLines(visit); }, write, progress);
  }
  template <typename Write>
  bool WriteLabels(TextOutputFile& file, Write write, ProgressCounter& progress) const {
    const KeptLabels<Write> labels(walk_.layout(), walk_.filter(), write);
    if (labels.usable()) return WriteItems(file, labelCount(), labels, progress);
    return WriteWalked(file, [this](auto&& visit) { return walk_.WalkLabels(visit); }, write, progress);
  }

 private:
  ClippedWalk& walk_;
  ClippedWalk::Counts counts_;
};

template <typename Items, typename Labels>
SaveOutcome SaveDxf(const std::string& path, const Items& items, Labels labels, const SaveOptions& options,
                    ProgressCounter& progress) {
  TextOutputFile file;
  if (!progress.Start()) return Cancelled();
  // Cancel also ends a wait behind another save into the same folder.
  const auto keepWaiting = [&] { return progress.Start(); };
  if (!file.OpenForOutput(path, keepWaiting)) return Failed(file);

  file.Reserve(items.GuessLines(DxfLineWriter()) + items.GuessLabels(labels) + 64);
  if (options.dxfExtents) WriteDxfHeaderSection(file, items.Extents(), options.dxfUnits);
  WriteDxfHeader(file);
  const bool walked = items.WriteLines(file, DxfLineWriter(), progress) && items.WriteLabels(file, labels, progress);
  if (!file.ok()) return Failed(file);
  if (!walked) return Cancelled();  // the temporary goes with `file`

  WriteDxfTrailer(file);
  if (!file.Close()) return Failed(file);
  AtomicFile* const files[] = {&file.file()};
  bool cancelled = false;
  if (CommitFiles(files, [&] { return progress.Finish(); }, &cancelled, {}, options.existing) != nullptr)
    return Failed(file.path(), file.file().error());
  return cancelled ? Cancelled() : SaveOutcome{};
}

template <typename Items, typename Cells>
SaveOutcome SaveCht(const SaveTarget& target, const Items& items, Cells cells, Existing existing,
                    ProgressCounter& progress) {
  TextOutputFile cht;
  TextOutputFile rws;
  if (!progress.Start()) return Cancelled();
  const auto keepWaiting = [&] { return progress.Start(); };
  if (!cht.OpenForOutput(target.path(), keepWaiting)) return Failed(cht);

  cht.Reserve(items.GuessLines(ChtLineWriter()) + 16);
  WriteChtHeader(cht);
  bool walked = items.WriteLines(cht, ChtLineWriter(), progress);
  if (!cht.ok()) return Failed(cht);
  if (!walked) return Cancelled();

  OpenRwsCompanion(cht, rws, target.files[1], keepWaiting);
  if (!cht.ok()) return Failed(cht);
  if (!rws.ok()) return Failed(rws);

  rws.Reserve(items.GuessLabels(cells) + 64);
  walked = items.WriteLabels(rws, cells, progress);
  if (!rws.ok()) return Failed(rws);
  if (!walked) return Cancelled();

  // Programs that read the RWS file may rely on these closing lines.
  WriteDxfTrailer(rws);
  if (!rws.Close()) return Failed(rws);

  // The RWS file first: whoever waits for the chosen CHT file finds its
  // companion complete when it appears.
  AtomicFile* const files[] = {&rws.file(), &cht.file()};
  bool cancelled = false;
  if (AtomicFile* failed = CommitFiles(files, [&] { return progress.Finish(); }, &cancelled, {}, existing))
    return Failed(failed->path(), failed->error());
  return cancelled ? Cancelled() : SaveOutcome{};
}

// A DXF or CHT save of the items, whole or clipped, with the label writer
// the scheme asks for.
template <typename Items>
SaveOutcome SaveItems(const SaveTarget& target, const Items& items, const CellBlock& spec,
                      const CellNumbering& numbering, const SaveOptions& options, ProgressCounter& counter) {
  const LabelScheme& labels = spec.labels;
  if (target.format == SaveFormat::kDxf) {
    const float rotation = DxfTextRotation(spec), height = DxfTextHeight(spec);
    if (!labels.labelTemplate.IsColumnRow() || labels.atCentre)
      return SaveDxf(target.path(), items, DxfTemplateLabelWriter(numbering, rotation, height, labels.atCentre),
                     options, counter);
    if (!labels.IsColumnRow())
      return SaveDxf(target.path(), items, Renumbered(numbering, DxfLabelWriter(rotation, height)), options, counter);
    return SaveDxf(target.path(), items, DxfLabelWriter(rotation, height), options, counter);
  }
  if (!labels.IsColumnRow())
    return SaveCht(target, items, Renumbered(numbering, RwsCellWriter()), options.existing, counter);
  return SaveCht(target, items, RwsCellWriter(), options.existing, counter);
}

SaveOutcome Save(const SaveTarget& target, const CellBlock& spec, Progress* progress, const SaveOptions& options) {
  if (target.format == SaveFormat::kNone) return {SaveOutcome::Kind::kUnknownType, {}, 0, {}};
  const BlockLayout layout(spec);
  const CellNumbering numbering(layout.block().labels, layout.columnCount(), layout.rowCount());
  if (auto why = numbering.Check()) return Refused("The cells cannot be labelled so: " + *why + ".");
  const LabelScheme& labels = layout.block().labels;
  if (options.cellCentres && target.format != SaveFormat::kGeoPackage)
    return Refused("Only a GeoPackage holds the layer of the cells' centre points (cell_centres): save as .gpkg "
                   "for it.");
  if (target.format != SaveFormat::kDxf && target.format != SaveFormat::kCht)
    return SaveGis(target, spec, progress, options.srs, options.existing, options.clip, options.cellCentres);
  // Readers of the RWS file take its labels apart as column-row.
  if (target.format == SaveFormat::kCht && !labels.labelTemplate.IsColumnRow())
    return Refused("An RWS file keeps each cell's number as column-row, which the programs that read it take "
                   "apart, so it cannot hold labels of another template: save as DXF or a GIS format for them.");
  if (options.clip == nullptr) {
    const WholeBlock items(layout);
    ProgressCounter counter(progress, items.lineCount() + items.labelCount());
    return SaveItems(target, items, spec, numbering, options, counter);
  }
  // A clipped block is walked once to count what it writes, for the
  // progress and the file's size.
  ClippedWalk walk(layout, *options.clip);
  ProgressCounter counting(progress, 1);
  walk.SetStillWanted([&] { return counting.Start(); });
  ClippedWalk::Counts counts;
  if (!walk.Count(counts)) return Cancelled();
  const ClippedBlock items(walk, counts);
  ProgressCounter counter(progress, counts.lines + counts.cells);
  walk.SetStillWanted([&] { return counter.Add(0); });
  return SaveItems(target, items, spec, numbering, options, counter);
}

}  // namespace

SaveOutcome SaveBlockTo(const SaveTarget& target, const CellBlock& spec, Progress* progress,
                        const SaveOptions& options) {
  try {
    SaveOutcome outcome = Save(target, spec, progress, options);
    // A wait for another save's lock on the folder, given up.
    if (outcome.kind == SaveOutcome::Kind::kFailed && outcome.error == ECANCELED) outcome = Cancelled();
    return outcome;
  } catch (const std::bad_alloc&) {
    // Every temporary went with the unwinding; report it like a failed write.
    return Failed(target.path(), ENOMEM);
  }
}

SaveOutcome SaveBlockTo(const std::string& path, const CellBlock& spec, Progress* progress,
                        const SaveOptions& options) {
  try {
    return SaveBlockTo(TargetOfPath(path), spec, progress, options);
  } catch (const std::bad_alloc&) {
    return Failed(path, ENOMEM);
  }
}

std::vector<std::string> FilesOfSave(const std::string& path) {
  const SaveTarget target = TargetOfPath(path);
  std::vector<std::string> files = target.files;
  for (std::string& variant : CaseVariantsOf(target)) files.push_back(std::move(variant));
  return files;
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
