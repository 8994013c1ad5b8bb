#include "export/gis_streams.h"

#include <algorithm>

#include "export/gis_cells.h"
#include "export/gis_chunks.h"
#include "export/gis_formats.h"

namespace tavimo::gis {
namespace {

using Kind = StreamOutcome::Kind;

// Cells per chunk: a few milliseconds of work, so that Cancel answers at once.
constexpr std::uint64_t kChunkCells = 2048;

StreamOutcome Stopped(const Steps& steps, std::string reason = {}) {
  return {steps.cancelled() ? Kind::kCancelled : Kind::kFailed, std::move(reason)};
}

}  // namespace

StreamOutcome WriteShapefile(Sink& shp, Sink& shx, Sink& dbf, std::vector<unsigned char> shpHeader,
                             std::vector<unsigned char> shxHeader, std::vector<unsigned char> dbfHeader,
                             const BlockLayout& layout, Steps& steps) {
  const std::optional<DbfLayout> fields = ReadDbfLayout(dbfHeader.data(), dbfHeader.size());
  if (shpHeader.size() < kShpHeaderBytes || shxHeader.size() < kShpHeaderBytes || !fields)
    return {Kind::kFailed, "GDAL began the Shapefile in a way Tavimo does not know"};
  shpHeader.resize(kShpHeaderBytes);
  shxHeader.resize(kShpHeaderBytes);
  dbfHeader.resize(fields->headerBytes);
  if (!shp.Write(shpHeader.data(), shpHeader.size()) || !shx.Write(shxHeader.data(), shxHeader.size()) ||
      !dbf.Write(dbfHeader.data(), dbfHeader.size()))
    return {Kind::kFailed, {}};

  struct Chunk {
    std::vector<unsigned char> shp, shx;
    std::vector<char> dbf;
    Box box{};
    bool fits = true;
  };
  struct Format {
    Cells cells;
    const DbfLayout* dbf;
    void operator()(Chunk& chunk, std::uint64_t first, std::uint64_t last) {
      const std::size_t count = static_cast<std::size_t>(last - first);
      chunk.shp.resize(count * kShpRecordBytes);
      chunk.shx.resize(count * kShxRecordBytes);
      chunk.dbf.resize(count * dbf->recordBytes);
      chunk.fits = true;
      Cell cell;
      for (std::size_t k = 0; k < count; ++k) {
        cells.At(first + k, cell);
        PutShpRecord(chunk.shp.data() + k * kShpRecordBytes, first + k + 1, cell);
        PutShxRecord(chunk.shx.data() + k * kShxRecordBytes, first + k + 1);
        chunk.fits = PutDbfRecord(chunk.dbf.data() + k * dbf->recordBytes, *dbf, cell) && chunk.fits;
        Include(chunk.box, cell.box, k == 0);
      }
    }
  };
  Box box{};
  bool fits = true;
  const bool written = FormatInOrder<Chunk>(
      layout.labelCount(), kChunkCells, Format{Cells(layout), &*fields},
      [&](Chunk& chunk, std::uint64_t first, std::uint64_t last) {
        if (!chunk.fits) return fits = false;
        Include(box, chunk.box, first == 0);
        return shp.Write(chunk.shp.data(), chunk.shp.size()) && shx.Write(chunk.shx.data(), chunk.shx.size()) &&
               dbf.Write(chunk.dbf.data(), chunk.dbf.size()) && steps.Add(last - first);
      });
  if (!fits) return {Kind::kFailed, "A cell's label or label point does not fit its field of the .dbf file"};
  if (!written) return Stopped(steps);

  const std::uint64_t records = layout.labelCount();
  constexpr unsigned char kEndOfFile = 0x1a;
  CompleteShpHeader(shpHeader.data(), kShpHeaderBytes + records * kShpRecordBytes, box);
  CompleteShpHeader(shxHeader.data(), kShpHeaderBytes + records * kShxRecordBytes, box);
  CompleteDbfHeader(dbfHeader.data(), records);
  if (!dbf.Write(&kEndOfFile, 1) || !shp.WriteAt(0, shpHeader.data(), shpHeader.size()) ||
      !shx.WriteAt(0, shxHeader.data(), shxHeader.size()) || !dbf.WriteAt(0, dbfHeader.data(), dbfHeader.size()))
    return {Kind::kFailed, {}};
  return {};
}

}  // namespace tavimo::gis
