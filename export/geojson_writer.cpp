#include "export/geojson_writer.h"

#include <cerrno>
#include <memory>
#include <new>

#include "export/gis_cells.h"
#include "export/gis_chunks.h"
#include "export/gis_formats.h"
#include "model/clipped_walk.h"

namespace tavimo {
namespace {

using Kind = gis::StreamOutcome::Kind;

// Features per chunk: a few milliseconds of work, so that Cancel answers at
// once, and some hundred kilobytes per write.
constexpr std::uint64_t kChunkCells = 2048;
// Room beyond a chunk's text: numbers are copied in blocks.
constexpr std::size_t kSlack = 64;
constexpr std::size_t kChunkBytes = kChunkCells * (gis::kMaxFeatureText + 2) + kSlack;

// The collection's members around its features, as GDAL's GeoJSON driver
// wrote them for the same layer: a file Tavimo wrote before reads the same.
// Features are separated by ",\n".
std::string Opening(std::string_view crsName) {
  std::string text = "{\n\"type\": \"FeatureCollection\",\n\"name\": \"cells\",\n";
  if (!crsName.empty())
    text += "\"crs\": { \"type\": \"name\", \"properties\": { \"name\": \"" + std::string(crsName) + "\" } },\n";
  return text + "\"features\": [\n";
}
constexpr std::string_view kClosing = "\n]\n}\n";

struct Chunk {
  std::unique_ptr<char[]> text;
  std::size_t size = 0;
};

// The features of cells first .. last - 1 of the whole block, in the
// order of Cells (row by row).
struct FormatCells {
  gis::Cells cells;
  gis::CornerTexts corners{};
  void operator()(Chunk& chunk, std::uint64_t first, std::uint64_t last) {
    if (!chunk.text) chunk.text.reset(new char[kChunkBytes]);
    char* p = chunk.text.get();
    gis::Cell cell;
    for (std::uint64_t i = first; i < last; ++i) {
      if (i > 0) {
        *p++ = ',';
        *p++ = '\n';
      }
      cells.At(i, cell);
      p = gis::PutGeoJsonFeature(p, cell, corners);
    }
    chunk.size = static_cast<std::size_t>(p - chunk.text.get());
  }
};

// The file's size, guessed from the first cell's feature: room asked for
// up front, as for a DXF file (trimmed at the end), so that the file
// system lays it out at once and a full disk shows early.
std::uint64_t GuessSize(const BlockLayout& layout, std::uint64_t features, std::size_t frame) {
  if (features == 0) return frame;
  Chunk sample;
  FormatCells{gis::Cells(layout)}(sample, 0, 1);
  return frame + (sample.size + 2) * features + features / 16;
}

// The whole block: formatted on two threads, written here in order.
bool WriteWhole(gis::Sink& file, const BlockLayout& layout, gis::Steps& steps) {
  return gis::FormatInOrder<Chunk>(layout.labelCount(), kChunkCells, FormatCells{gis::Cells(layout)},
                                   [&](Chunk& chunk, std::uint64_t first, std::uint64_t last) {
                                     return file.Write(chunk.text.get(), chunk.size) && steps.Add(last - first);
                                   });
}

// The cells a clip keeps, as its runs come row by row, on this thread.
bool WriteClipped(gis::Sink& file, const BlockLayout& layout, CellFilter& clip, gis::Steps& steps) {
  const std::unique_ptr<char[]> text(new char[kChunkBytes]);
  gis::Cells cells(layout);
  gis::CornerTexts corners{};
  gis::Cell cell;
  const auto columns = static_cast<std::uint64_t>(layout.columnCount());
  std::uint64_t written = 0, inChunk = 0;
  char* p = text.get();
  const auto flush = [&] {
    const bool goOn = file.Write(text.get(), static_cast<std::size_t>(p - text.get())) && steps.Add(inChunk);
    p = text.get();
    inChunk = 0;
    return goOn;
  };
  for (KeptRuns runs(layout, &clip); runs.Next();) {
    const auto row = static_cast<std::uint64_t>(runs.row());
    for (std::int64_t c = runs.first(); c < runs.last(); ++c) {
      if (written++ > 0) {
        *p++ = ',';
        *p++ = '\n';
      }
      cells.At(row * columns + static_cast<std::uint64_t>(c), cell);
      p = gis::PutGeoJsonFeature(p, cell, corners);
      if (++inChunk == kChunkCells && !flush()) return false;
    }
  }
  return flush();
}

SaveOutcome Refused(std::string reason) { return {SaveOutcome::Kind::kRefused, {}, 0, std::move(reason)}; }
SaveOutcome Cancelled() { return {SaveOutcome::Kind::kCancelled, {}, 0, {}}; }
SaveOutcome Failed(const AtomicFile& file) {
  return {SaveOutcome::Kind::kFailed, file.path(), file.error() != 0 ? file.error() : EIO, {}};
}

// The atomic file as the stream's sink.
class FileSink : public gis::Sink {
 public:
  explicit FileSink(AtomicFile& file) : file_(file) {}
  bool Write(const void* data, std::size_t size) override {
    return file_.Write(static_cast<const char*>(data), size);
  }
  bool WriteAt(std::uint64_t, const void*, std::size_t) override { return false; }  // a GeoJSON file never goes back

 private:
  AtomicFile& file_;
};

}  // namespace

std::string GeoJsonCrsName(std::string_view code) {
  if (code.empty()) return {};
  if (code == "4326") return "urn:ogc:def:crs:OGC:1.3:CRS84";
  return "urn:ogc:def:crs:EPSG::" + std::string(code);
}

EpsgCode PlainEpsgCode(std::string_view srs) {
  const EpsgCode none{{}, "Without GDAL, Tavimo names the coordinate reference system of a GeoJSON file only by "
                          "its EPSG code: give it as EPSG:<code>, such as EPSG:25833."};
  constexpr std::string_view kPrefix = "epsg:";
  if (srs.size() <= kPrefix.size()) return none;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    const char c = srs[i] >= 'A' && srs[i] <= 'Z' ? static_cast<char>(srs[i] - 'A' + 'a') : srs[i];
    if (c != kPrefix[i]) return none;
  }
  std::string_view digits = srs.substr(kPrefix.size());
  for (const char c : digits)
    if (c < '0' || c > '9') return none;
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  // EPSG's codes have a few digits; 0 is none.
  if (digits.size() > 9 || digits == "0") return none;
  return {std::string(digits), {}};
}

namespace gis {

StreamOutcome WriteGeoJson(Sink& file, std::string_view crsName, const BlockLayout& layout, CellFilter* clip,
                           Steps& steps) {
  const std::string opening = Opening(crsName);
  if (!file.Write(opening.data(), opening.size())) return {Kind::kFailed, {}};
  const bool written = clip != nullptr ? WriteClipped(file, layout, *clip, steps) : WriteWhole(file, layout, steps);
  if (!written) return {steps.cancelled() ? Kind::kCancelled : Kind::kFailed, {}};
  if (!file.Write(kClosing.data(), kClosing.size())) return {Kind::kFailed, {}};
  return {};
}

}  // namespace gis

SaveOutcome SaveGeoJson(const SaveTarget& target, const CellBlock& spec, Progress* progress,
                        const std::string& epsgCode, Existing existing, CellFilter* clip) {
  const BlockLayout layout(spec);
  if (std::optional<std::string> why = gis::Refusal(layout)) return Refused(*why);

  // A clipped block is walked once to count its cells, for the progress.
  std::uint64_t total = layout.labelCount();
  if (clip != nullptr) {
    ClippedWalk walk(layout, *clip);
    walk.SetStillWanted([&] { return progress == nullptr || progress->Step(0, 1); });
    ClippedWalk::Counts counts;
    if (!walk.Count(counts)) return Cancelled();
    total = counts.cells;
  }
  gis::Steps steps(progress, total);
  if (!steps.Start()) return Cancelled();

  AtomicFile file;
  // Cancel also ends a wait behind another save into the same folder.
  if (!file.Open(target.path(), [&] { return progress == nullptr || progress->Step(0, total); })) return Failed(file);
  const std::string crsName = GeoJsonCrsName(epsgCode);
  file.Reserve(GuessSize(layout, total, Opening(crsName).size() + kClosing.size()));
  FileSink sink(file);
  const gis::StreamOutcome written = gis::WriteGeoJson(sink, crsName, layout, clip, steps);
  if (written.kind == Kind::kCancelled) return Cancelled();  // the temporary goes with `file`
  if (written.kind == Kind::kFailed || !file.Close()) return Failed(file);
  // The end is told once the file is complete, then asked again at the commit.
  if (progress != nullptr && !progress->Step(total, total)) return Cancelled();
  AtomicFile* const files[] = {&file};
  bool cancelled = false;
  const auto stillWanted = [&] { return progress == nullptr || progress->Step(total, total); };
  if (CommitFiles(files, stillWanted, &cancelled, {}, existing) != nullptr) return Failed(file);
  return cancelled ? Cancelled() : SaveOutcome{};
}

}  // namespace tavimo
