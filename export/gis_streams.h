#pragma once
// Records streamed into a file as they are made, formatted on two threads:
// a Shapefile's into the files GDAL began (GDAL writes its headers, .cpg
// and .prj for a layer without features; the cells go in between here),
// and a GeoJSON file's (geojson_writer.h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/block_layout.h"
#include "model/progress.h"

namespace tavimo::gis {

// A file being written. Its owner checks every write and keeps the reason
// of a failure.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  // Writes over bytes already written (a header completed at the end).
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
};

// The items of a save done so far, told to its Progress (may be null),
// which may cancel. The last step is the save's to report, once its files
// are complete.
class Steps {
 public:
  Steps(Progress* progress, std::uint64_t total) : progress_(progress), total_(total) {}
  bool Start() { return Ask(0); }
  bool Add(std::uint64_t items) {
    done_ += items;
    return done_ >= total_ || Ask(done_);
  }
  bool cancelled() const { return cancelled_; }

 private:
  bool Ask(std::uint64_t done) {
    cancelled_ = progress_ != nullptr && !progress_->Step(done, total_);
    return !cancelled_;
  }
  Progress* progress_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  bool cancelled_ = false;
};

// How a streamed write ended: kCancelled by its Steps, kFailed by a sink
// (whose owner knows why) or with `reason`.
struct StreamOutcome {
  enum class Kind { kWritten, kCancelled, kFailed } kind = Kind::kWritten;
  std::string reason;
};

// A Shapefile: the .shp, .shx and .dbf headers GDAL wrote for no records,
// then the records, the headers completed with their counts and extent.
StreamOutcome WriteShapefile(Sink& shp, Sink& shx, Sink& dbf, std::vector<unsigned char> shpHeader,
                             std::vector<unsigned char> shxHeader, std::vector<unsigned char> dbfHeader,
                             const BlockLayout& layout, Steps& steps);

}  // namespace tavimo::gis
