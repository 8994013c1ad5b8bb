// GeoPackage and Shapefile through GDAL (a GeoJSON file is Tavimo's own:
// geojson_writer.h). GDAL creates each dataset, its layers and
// fields, its coordinate reference system and metadata, as for any
// features; the cells and lines themselves, millions of them, are written
// in bulk beside it (gis_geopackage.h, gis_streams.h): GDAL's work per
// feature took forty times as long as the DXF file of the same block. The
// cells come from the same layout walk as the DXF file: corners where the
// grid lines meet, labels with the DXF's text and insertion point. Items
// are written as they are made; nothing is collected.

#include <cpl_http.h>
#include <cpl_vsi.h>
#include <fcntl.h>
#include <gdal_priv.h>
#include <locale.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "export/gis_clip_gdal.h"
#include "export/gis_formats.h"
#include "export/gis_geopackage.h"
#include "export/gis_module.h"
#include "export/gis_streams.h"
#include "export/gis_writer.h"
#include "model/block_layout.h"
#include "model/clipped_walk.h"

namespace tavimo {
namespace {

using Kind = SaveOutcome::Kind;

// The CRS is looked up without the network: a save never waits on one.
const char* const kSrsOptions[] = {"ALLOW_NETWORK_ACCESS=NO", nullptr};

// GDAL in the C locale on this thread while one of these lives, whatever
// the program's: its option names are compared after toupper(), which
// knows no 'I' for 'i' in a Turkish locale, and its numbers are read and
// written with a decimal point. Per thread, so a dialog's other threads
// keep theirs.
class CLocale {
 public:
  CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    old_ = c != static_cast<locale_t>(nullptr) ? uselocale(c) : static_cast<locale_t>(nullptr);
  }
  ~CLocale() {
    if (old_ != static_cast<locale_t>(nullptr)) uselocale(old_);
  }
  CLocale(const CLocale&) = delete;
  CLocale& operator=(const CLocale&) = delete;

  // The thread's locale before, LC_GLOBAL_LOCALE for the program's.
  locale_t outer() const { return old_; }

 private:
  locale_t old_;
};

// The caller's progress, told in the caller's locale.
class ProgressInLocale : public Progress {
 public:
  ProgressInLocale(Progress& progress, locale_t locale) : progress_(progress), locale_(locale) {}
  bool Step(std::uint64_t done, std::uint64_t total) override {
    if (locale_ == static_cast<locale_t>(nullptr)) return progress_.Step(done, total);
    const locale_t c = uselocale(locale_);
    const bool goOn = progress_.Step(done, total);
    uselocale(c);
    return goOn;
  }

 private:
  Progress& progress_;
  const locale_t locale_;
};

// GDAL's GeoJSON writer and the Shapefile library let a failed or short
// write pass: a disk full for a moment would leave a hole in the file of a
// save that ends as saved. Their files are opened under kCheckedPrefix
// instead, where every write is checked; a save fails on the first failure
// among its files (CheckedFiles). A GeoPackage goes the same way: SQLite
// checks its writes, but its own file layer takes no path longer than 512
// bytes, where GDAL's, used for such a prefix, takes 2048.
constexpr char kCheckedPrefix[] = "/vsitavimo/";
constexpr std::size_t kGdalPathBytes = 2048;

// The first failure among the files of one save on this thread.
class CheckedFiles {
 public:
  CheckedFiles() : outer_(current_) { current_ = this; }
  ~CheckedFiles() { current_ = outer_; }
  CheckedFiles(const CheckedFiles&) = delete;
  CheckedFiles& operator=(const CheckedFiles&) = delete;

  static CheckedFiles* Current() { return current_; }
  void Fail(int error, const std::string& file) {
    if (error_ != 0) return;
    error_ = error != 0 ? error : EIO;
    file_ = file;
  }
  int error() const { return error_; }
  const std::string& file() const { return file_; }

 private:
  static thread_local CheckedFiles* current_;
  CheckedFiles* const outer_;
  int error_ = 0;
  std::string file_;
};
thread_local CheckedFiles* CheckedFiles::current_ = nullptr;

// One open file: writes are gathered in `pending` (the drivers write a few
// bytes at a time) and written out whole or the failure recorded.
struct CheckedFile {
  int fd = -1;
  CheckedFiles* save = nullptr;
  std::string path;
  static constexpr std::size_t kBufferSize = 64 * 1024;
  std::unique_ptr<char[]> pending{new (std::nothrow) char[kBufferSize]};
  std::size_t pendingSize = 0;
  // Where the descriptor is, pending bytes not counted: SQLite seeks before
  // every page it writes, mostly to where the last one ended, which then
  // costs no system call. A file opened to append writes at its end.
  std::uint64_t position = 0;
  bool append = false;
  bool eof = false;
  bool failed = false;

  std::uint64_t logical() const { return position + pendingSize; }

  // False, with the failure recorded, unless every byte was written.
  bool WritePending() {
    const bool written = WriteOut(pending.get(), pendingSize);
    pendingSize = 0;
    return written;
  }
  bool WriteOut(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size && !failed) {
      const ssize_t n = ::write(fd, data + done, size - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        Fail(n < 0 ? errno : EIO);
      }
    }
    position += done;
    if (append) position = static_cast<std::uint64_t>(std::max<off_t>(::lseek(fd, 0, SEEK_CUR), 0));
    return !failed;
  }
  void Fail(int error) {
    failed = true;
    save->Fail(error, path);
  }
};

int CheckedOpenFlags(const char* access) {
  const bool plus = std::strchr(access, '+') != nullptr;
  switch (access[0]) {
    case 'r': return plus ? O_RDWR : O_RDONLY;
    case 'w': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default: return -1;
  }
}

void* CheckedOpen(void*, const char* path, const char* access) {
  CheckedFiles* const save = CheckedFiles::Current();
  const int flags = CheckedOpenFlags(access);
  if (save == nullptr || flags < 0) {  // only a save's own files, never another's
    errno = EACCES;
    return nullptr;
  }
  const int fd = ::open(path, flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    // Drivers try files that may be missing ("r", "r+"); one to be made must open.
    if ((flags & O_CREAT) != 0) save->Fail(errno, path);
    return nullptr;
  }
  auto* file = new (std::nothrow) CheckedFile;
  if (file == nullptr || file->pending == nullptr) {
    delete file;
    ::close(fd);
    save->Fail(ENOMEM, path);
    return nullptr;
  }
  file->fd = fd;
  file->save = save;
  file->path = path;
  file->append = (flags & O_APPEND) != 0;
  if (file->append) file->position = static_cast<std::uint64_t>(std::max<off_t>(::lseek(fd, 0, SEEK_END), 0));
  return file;
}

size_t CheckedWrite(void* handle, const void* data, size_t size, size_t count) {
  auto* file = static_cast<CheckedFile*>(handle);
  const std::size_t bytes = size * count;
  if (file->failed) return 0;
  for (std::size_t done = 0; done < bytes;) {
    // The bulk writers hand over a chunk at a time: written straight.
    if (file->pendingSize == 0 && bytes - done >= CheckedFile::kBufferSize)
      return file->WriteOut(static_cast<const char*>(data) + done, bytes - done) ? count : 0;
    if (file->pendingSize == CheckedFile::kBufferSize && !file->WritePending()) return 0;
    const std::size_t part = std::min(bytes - done, CheckedFile::kBufferSize - file->pendingSize);
    std::memcpy(file->pending.get() + file->pendingSize, static_cast<const char*>(data) + done, part);
    file->pendingSize += part;
    done += part;
  }
  return count;
}

size_t CheckedRead(void* handle, void* data, size_t size, size_t count) {
  auto* file = static_cast<CheckedFile*>(handle);
  if (size == 0 || !file->WritePending()) return 0;
  const std::size_t bytes = size * count;
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::read(file->fd, static_cast<char*>(data) + done, bytes - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      file->position += static_cast<std::uint64_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      // The drivers read back what they wrote: a failed read is as bad.
      if (n < 0) file->Fail(errno);
      file->eof = n == 0;
      break;
    }
  }
  return done / size;
}

int CheckedSeek(void* handle, vsi_l_offset offset, int whence) {
  auto* file = static_cast<CheckedFile*>(handle);
  file->eof = false;
  if (whence == SEEK_SET && offset == file->logical() && !file->append) return 0;  // where the next write goes
  if (!file->WritePending()) return -1;
  if (offset > static_cast<vsi_l_offset>(std::numeric_limits<off_t>::max())) return -1;
  const off_t at = ::lseek(file->fd, static_cast<off_t>(offset), whence);
  if (at < 0) return -1;
  file->position = static_cast<std::uint64_t>(at);
  return 0;
}

vsi_l_offset CheckedTell(void* handle) { return static_cast<CheckedFile*>(handle)->logical(); }

int CheckedEof(void* handle) { return static_cast<CheckedFile*>(handle)->eof ? 1 : 0; }

int CheckedFlush(void* handle) { return static_cast<CheckedFile*>(handle)->WritePending() ? 0 : -1; }

int CheckedTruncate(void* handle, vsi_l_offset size) {
  auto* file = static_cast<CheckedFile*>(handle);
  if (!file->WritePending()) return -1;
  if (::ftruncate(file->fd, static_cast<off_t>(size)) == 0) return 0;
  file->Fail(errno);
  return -1;
}

int CheckedClose(void* handle) {
  std::unique_ptr<CheckedFile> file(static_cast<CheckedFile*>(handle));
  const bool written = file->WritePending();
  // A file system may report a failed write only now (NFS).
  if (::close(file->fd) != 0 && errno != EINTR) file->Fail(errno);
  return written && !file->failed ? 0 : -1;
}

int CheckedStat(void*, const char* path, VSIStatBufL* stat, int) { return ::stat64(path, stat); }

int CheckedUnlink(void*, const char* path) { return ::unlink(path); }

// Installs the checked files' handler once, for the process's life.
void InstallCheckedFiles() {
  VSIFilesystemPluginCallbacksStruct* callbacks = VSIAllocFilesystemPluginCallbacksStruct();
  callbacks->open = &CheckedOpen;
  callbacks->write = &CheckedWrite;
  callbacks->read = &CheckedRead;
  callbacks->seek = &CheckedSeek;
  callbacks->tell = &CheckedTell;
  callbacks->eof = &CheckedEof;
  callbacks->flush = &CheckedFlush;
  callbacks->truncate = &CheckedTruncate;
  callbacks->close = &CheckedClose;
  callbacks->stat = &CheckedStat;
  callbacks->unlink = &CheckedUnlink;
  VSIInstallPluginHandler(kCheckedPrefix, callbacks);
  VSIFreeFilesystemPluginCallbacksStruct(callbacks);  // the handler keeps a copy
}

// Every HTTP request of GDAL's answered with a failure, never sent.
CPLHTTPResult* RefuseHttp(const char*, CSLConstList, GDALProgressFunc, void*, CPLHTTPFetchWriteFunc, void*, void*) {
  auto* result = static_cast<CPLHTTPResult*>(CPLCalloc(1, sizeof(CPLHTTPResult)));
  result->nStatus = 1;
  result->pszErrBuf = CPLStrdup("Tavimo does not use the network");
  return result;
}

void RegisterDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Messages of the drivers' loading and of threads other than the
    // writing one (which catches its own) go nowhere.
    CPLSetErrorHandler(CPLQuietErrorHandler);
    GDALAllRegister();
    InstallCheckedFiles();
    // A save never waits on the network: no HTTP request, no file of
    // /vsicurl/ and its kind (none has this name), no grid of PROJ's.
    CPLHTTPSetFetchCallback(&RefuseHttp, nullptr);
    CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_FILENAME", "/no-network");
    OSRSetPROJEnableNetwork(FALSE);
  });
}

// GDAL's messages while one of these lives, caught on this thread instead of
// printed. A warning counts as a failure: GDAL warns when it writes a value
// other than the one it was given. The message is all there is to tell:
// errno may be left over from anything GDAL tried before.
class GdalMessages {
 public:
  GdalMessages() { CPLPushErrorHandlerEx(&Catch, this); }
  ~GdalMessages() { CPLPopErrorHandler(); }
  GdalMessages(const GdalMessages&) = delete;
  GdalMessages& operator=(const GdalMessages&) = delete;

  bool failed() const { return failed_; }
  // The first message, or `fallback` when GDAL gave none.
  std::string Reason(const std::string& fallback) const { return reason_.empty() ? fallback : reason_; }

 private:
  static void CPL_STDCALL Catch(CPLErr level, CPLErrorNum, const char* text) {
    auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
    if (level < CE_Warning || self->failed_) return;
    self->failed_ = true;
    self->reason_ = text != nullptr ? text : "";
  }

  bool failed_ = false;
  std::string reason_;
};

// A configuration option for this thread, as it was again afterwards.
class ConfigOption {
 public:
  ConfigOption(const char* key, const char* value) : key_(key) {
    const char* old = CPLGetThreadLocalConfigOption(key, nullptr);
    if (old != nullptr) old_ = old;
    hadOld_ = old != nullptr;
    CPLSetThreadLocalConfigOption(key, value);
  }
  ~ConfigOption() { CPLSetThreadLocalConfigOption(key_, hadOld_ ? old_.c_str() : nullptr); }
  ConfigOption(const ConfigOption&) = delete;
  ConfigOption& operator=(const ConfigOption&) = delete;

 private:
  const char* key_;
  std::string old_;
  bool hadOld_;
};

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Reads `srs` into `crs`: nothing, or why not. GDAL would read a file of
// its virtual file systems too, /vsicurl_streaming/ from the network.
std::optional<std::string> ReadSrs(OGRSpatialReference& crs, const std::string& srs, const GdalMessages& messages) {
  const char* named = STARTS_WITH_CI(srs.c_str(), "ESRI::") ? srs.c_str() + 6 : srs.c_str();
  if (STARTS_WITH_CI(named, "/vsi")) return "GDAL's virtual file systems (/vsi...) are not read";
  if (crs.SetFromUserInput(srs.c_str(), kSrsOptions) == OGRERR_NONE) return std::nullopt;
  return messages.Reason("GDAL does not know the coordinate reference system \"" + srs + "\"");
}

// The EPSG code of a system GDAL has read: its own, or one GDAL finds for it.
std::optional<std::string> EpsgCodeOf(OGRSpatialReference& crs) {
  const char* authority = crs.GetAuthorityName(nullptr);
  if (authority == nullptr || !EQUAL(authority, "EPSG")) crs.AutoIdentifyEPSG();
  authority = crs.GetAuthorityName(nullptr);
  const char* code = crs.GetAuthorityCode(nullptr);
  if (authority != nullptr && EQUAL(authority, "EPSG") && code != nullptr) return std::string(code);
  return std::nullopt;
}

const char* DriverName(SaveFormat format) {
  switch (format) {
    case SaveFormat::kGeoPackage: return "GPKG";
    case SaveFormat::kShapefile: return "ESRI Shapefile";
    default: return "";
  }
}

// The files GDAL writes for the target. Its Shapefile driver names them all
// in lower case, whatever the case of the .shp it was given.
std::vector<std::string> GdalFiles(const SaveTarget& target) {
  if (target.format != SaveFormat::kShapefile) return target.files;
  const std::size_t dot = target.path().rfind('.');
  return TargetOfFormat(target.format, target.path().substr(0, dot) + ".shp").files;
}

std::size_t Digits(Extended magnitude) {
  std::size_t digits = 1;
  for (Extended limit = 10; magnitude >= limit && digits < 400; limit *= 10) ++digits;
  return digits;
}

// A new dataset and the files that make it: removed again unless Keep() is
// called once the dataset is closed and complete.
class NewDataset {
 public:
  NewDataset(std::vector<std::string> files, SaveFormat format) : files_(std::move(files)) {
    if (format == SaveFormat::kGeoPackage)
      for (const char* side : {"-journal", "-wal", "-shm"}) files_.push_back(files_[0] + side);
  }
  ~NewDataset() {
    Close();
    if (!kept_)
      for (const std::string& file : files_) unlink(file.c_str());
  }
  NewDataset(const NewDataset&) = delete;
  NewDataset& operator=(const NewDataset&) = delete;

  GDALDataset* dataset = nullptr;
  void Close() {
    if (dataset != nullptr) GDALClose(dataset);
    dataset = nullptr;
  }
  void Keep() { kept_ = true; }

 private:
  std::vector<std::string> files_;
  bool kept_ = false;
};

bool AddField(OGRLayer& layer, const char* name, OGRFieldType type, int width, int precision) {
  OGRFieldDefn field(name, type);
  field.SetWidth(width);
  field.SetPrecision(precision);
  return layer.CreateField(&field) == OGRERR_NONE;
}

// A layer of a new dataset. GDAL would build a GeoPackage's spatial index
// when the dataset closes, one entry at a time; made now, it is there,
// empty, for the bulk writer to fill (gis_geopackage.h).
OGRLayer* CreateLayer(GDALDataset& dataset, const char* name, OGRSpatialReference* crs, OGRwkbGeometryType type,
                      SaveFormat format, CSLConstList options) {
  CPLStringList all(CSLDuplicate(const_cast<char**>(options)));
  if (format == SaveFormat::kGeoPackage) all.SetNameValue("SPATIAL_INDEX", "NO");
  OGRLayer* layer = dataset.CreateLayer(name, crs, type, all.List());
  if (layer != nullptr && format == SaveFormat::kGeoPackage) {
    const std::string sql = std::string("SELECT CreateSpatialIndex('") + name + "', '" + layer->GetGeometryColumn() + "')";
    dataset.ReleaseResultSet(dataset.ExecuteSQL(sql.c_str(), nullptr, nullptr));
  }
  return layer;
}

// The widths of the fields, which matter to a Shapefile's DBF only, which
// writes numbers in them: the largest cell number, coordinates with GDAL's
// 15 decimals.
struct FieldWidths {
  int column = 0, row = 0, label = 0, coordinate = 0, angle = 0, decimals = 0;
  std::uint64_t record() const { return 1 + column + row + label + 2 * coordinate + angle; }  // a deletion flag first
};
FieldWidths WidthsOf(SaveFormat format, const BlockLayout& layout) {
  FieldWidths widths;
  if (format != SaveFormat::kShapefile) return widths;
  widths.column = static_cast<int>(Digits(static_cast<Extended>(layout.columnCount())));
  widths.row = static_cast<int>(Digits(static_cast<Extended>(layout.rowCount())));
  const LabelScheme& labels = layout.block().labels;
  widths.label = labels.IsColumnRow()
                     ? widths.column + 1 + widths.row
                     : static_cast<int>(CellNumbering(labels, layout.columnCount(), layout.rowCount()).LongestLabel());
  widths.decimals = 15;
  widths.coordinate = std::min(255, 1 + static_cast<int>(Digits(gis::LargestCoordinate(layout) + 1)) + 1 + widths.decimals);
  widths.angle = 3 + 1 + widths.decimals;  // below 360
  return widths;
}

// A Shapefile's files hold up to 2 GB each; GDAL warns when one grows past.
std::optional<std::string> ShapefileRefusal(const BlockLayout& layout) {
  constexpr std::uint64_t kLargestFile = std::numeric_limits<std::int32_t>::max();
  constexpr std::uint64_t kFields = 6;
  const std::uint64_t cells = layout.labelCount();
  const std::uint64_t shp = gis::kShpHeaderBytes + cells * gis::kShpRecordBytes;
  const std::uint64_t dbf = 32 + 32 * kFields + 1 + cells * WidthsOf(SaveFormat::kShapefile, layout).record() + 1;
  if (std::max(shp, dbf) <= kLargestFile) return std::nullopt;
  return "This block is too large for a Shapefile, whose files hold up to 2 GB each: save it as a GeoPackage.";
}

// The layer "cells" with its fields: column, row, label, label_x, label_y,
// label_angle.
OGRLayer* CreateCellsLayer(GDALDataset& dataset, SaveFormat format, const BlockLayout& layout,
                           OGRSpatialReference* crs) {
  CPLStringList options;
  const std::uint64_t columns = static_cast<std::uint64_t>(layout.columnCount());
  const std::uint64_t rows = static_cast<std::uint64_t>(layout.rowCount());
  const OGRFieldType integer = std::max(columns, rows) <= std::numeric_limits<std::int32_t>::max() ? OFTInteger
                                                                                                   : OFTInteger64;
  const FieldWidths widths = WidthsOf(format, layout);
  if (format == SaveFormat::kShapefile) options.SetNameValue("ENCODING", "UTF-8");  // and a .cpg saying so
  OGRLayer* cells = CreateLayer(dataset, "cells", crs, wkbPolygon, format, options.List());
  if (cells == nullptr || !AddField(*cells, "column", integer, widths.column, 0) ||
      !AddField(*cells, "row", integer, widths.row, 0) || !AddField(*cells, "label", OFTString, widths.label, 0) ||
      !AddField(*cells, "label_x", OFTReal, widths.coordinate, widths.decimals) ||
      !AddField(*cells, "label_y", OFTReal, widths.coordinate, widths.decimals) ||
      // A .dbf's field names hold 10 characters.
      !AddField(*cells, format == SaveFormat::kShapefile ? "label_angl" : "label_angle", OFTReal, widths.angle,
                widths.decimals))
    return nullptr;
  return cells;
}

// The layer "cell_centres": a point per cell, with its column, row and label.
OGRLayer* CreateCentresLayer(GDALDataset& dataset, const BlockLayout& layout, OGRSpatialReference* crs) {
  const std::uint64_t columns = static_cast<std::uint64_t>(layout.columnCount());
  const std::uint64_t rows = static_cast<std::uint64_t>(layout.rowCount());
  const OGRFieldType integer = std::max(columns, rows) <= std::numeric_limits<std::int32_t>::max() ? OFTInteger
                                                                                                   : OFTInteger64;
  OGRLayer* centres = CreateLayer(dataset, "cell_centres", crs, wkbPoint, SaveFormat::kGeoPackage, nullptr);
  if (centres == nullptr || !AddField(*centres, "column", integer, 0, 0) || !AddField(*centres, "row", integer, 0, 0) ||
      !AddField(*centres, "label", OFTString, 0, 0))
    return nullptr;
  return centres;
}

// The block whose labels sit at the cells' centres: where the points of
// cell_centres are, computed as --label-centre's labels.
CellBlock Centred(const CellBlock& block) {
  CellBlock centred = block;
  centred.labels.atCentre = true;
  return centred;
}

// Features per transaction and per progress step of a clipped save, which
// goes feature by feature: large enough that a commit costs little, small
// enough that memory stays flat.
constexpr std::uint64_t kChunkFeatures = 4096;

// Hands features to GDAL one by one; every kChunkFeatures it commits the
// transaction (a GeoPackage's) and reports progress.
class FeatureWriter {
 public:
  FeatureWriter(GDALDataset& dataset, bool transactions, const GdalMessages& messages, const CheckedFiles& checked,
                Progress* progress, std::uint64_t total)
      : dataset_(dataset),
        transactions_(transactions),
        messages_(messages),
        checked_(checked),
        progress_(progress),
        total_(total) {}

  // Writes one feature; false to stop (failed or cancelled).
  bool Write(OGRLayer& layer, OGRFeature& feature) {
    if (inChunk_ == 0 && transactions_ && dataset_.StartTransaction() != OGRERR_NONE) return false;
    feature.SetFID(OGRNullFID);
    if (layer.CreateFeature(&feature) != OGRERR_NONE || messages_.failed()) return false;
    ++done_;
    return ++inChunk_ < kChunkFeatures || EndChunk();
  }

  // Commits what is written so far; false when that failed.
  bool Finish() { return inChunk_ == 0 || EndChunk(); }

  bool cancelled() const { return cancelled_; }

 private:
  bool EndChunk() {
    inChunk_ = 0;
    if (transactions_ && dataset_.CommitTransaction() != OGRERR_NONE) return false;
    if (messages_.failed() || checked_.error() != 0) return false;
    // The end is reported once the dataset is closed and complete.
    if (progress_ != nullptr && done_ < total_ && !progress_->Step(done_, total_)) cancelled_ = true;
    return !cancelled_;
  }

  GDALDataset& dataset_;
  const bool transactions_;
  const GdalMessages& messages_;
  const CheckedFiles& checked_;
  Progress* const progress_;
  const std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::uint64_t inChunk_ = 0;
  bool cancelled_ = false;
};

// One polygon per cell, row by row as the DXF's labels: column, row, label,
// label_x, label_y, label_angle.
bool WriteCells(OGRLayer& layer, FeatureWriter& writer, const BlockLayout& layout, CellFilter* clip) {
  OGRFeature feature(layer.GetLayerDefn());
  auto* ring = new OGRLinearRing;
  ring->setNumPoints(5);
  auto* polygon = new OGRPolygon;
  polygon->addRingDirectly(ring);
  feature.SetGeometryDirectly(polygon);

  const CellNumbering numbering(layout.block().labels, layout.columnCount(), layout.rowCount());
  const double angle = GisLabelAngle(layout.block());
  std::string text;
  for (KeptRuns runs(layout, clip); runs.Next();) {  // clip hook: each row whole without a clip
    const std::int64_t r = runs.row();
    Extended x[4], y[4];  // the cell's corners, counter-clockwise in block coordinates
    layout.GridPoint(runs.first(), r, x[0], y[0]);
    layout.GridPoint(runs.first(), r + 1, x[3], y[3]);
    for (std::int64_t c = runs.first(); c < runs.last(); ++c) {
      layout.GridPoint(c + 1, r, x[1], y[1]);
      layout.GridPoint(c + 1, r + 1, x[2], y[2]);
      double dx[4], dy[4];
      for (int k = 0; k < 4; ++k) {
        dx[k] = static_cast<double>(x[k]);
        dy[k] = static_cast<double>(y[k]);
      }
      // A negative cell size mirrors the cell: go round the other way.
      double twiceArea = 0;
      for (int k = 0; k < 4; ++k) twiceArea += dx[k] * dy[(k + 1) % 4] - dx[(k + 1) % 4] * dy[k];
      for (int k = 0; k < 4; ++k) {
        const int from = twiceArea >= 0 ? k : (4 - k) % 4;
        ring->setPoint(k, dx[from], dy[from]);
      }
      ring->setPoint(4, dx[0], dy[0]);

      const CellLabel label = layout.Label(c, r);
      text.clear();
      numbering.Append(text, c, r);
      feature.SetField(0, static_cast<GIntBig>(label.column));
      feature.SetField(1, static_cast<GIntBig>(label.row));
      feature.SetField(2, text.c_str());
      feature.SetField(3, static_cast<double>(label.x));
      feature.SetField(4, static_cast<double>(label.y));
      feature.SetField(5, angle);
      if (!writer.Write(layer, feature)) return false;

      x[0] = x[1], y[0] = y[1];
      x[3] = x[2], y[3] = y[2];
    }
  }
  return true;
}

// A point per cell at its centre, in the order of the cells: column, row,
// label.
bool WriteCentres(OGRLayer& layer, FeatureWriter& writer, const BlockLayout& layout, CellFilter* clip) {
  OGRFeature feature(layer.GetLayerDefn());
  auto* point = new OGRPoint;
  feature.SetGeometryDirectly(point);
  const BlockLayout centred(Centred(layout.block()));
  const CellNumbering numbering(layout.block().labels, layout.columnCount(), layout.rowCount());
  std::string text;
  for (KeptRuns runs(layout, clip); runs.Next();) {
    for (std::int64_t c = runs.first(); c < runs.last(); ++c) {
      const CellLabel centre = centred.Label(c, runs.row());
      point->setX(static_cast<double>(centre.x));
      point->setY(static_cast<double>(centre.y));
      text.clear();
      numbering.Append(text, c, runs.row());
      feature.SetField(0, static_cast<GIntBig>(centre.column));
      feature.SetField(1, static_cast<GIntBig>(centre.row));
      feature.SetField(2, text.c_str());
      if (!writer.Write(layer, feature)) return false;
    }
  }
  return true;
}

// A file of the dataset written by the bulk writers, through the checked
// files as GDAL's own writes.
class CheckedSink : public gis::Sink {
 public:
  explicit CheckedSink(const std::string& path) : file_(VSIFOpenL(path.c_str(), "wb")) {}
  ~CheckedSink() override { Close(); }
  CheckedSink(const CheckedSink&) = delete;
  CheckedSink& operator=(const CheckedSink&) = delete;

  bool open() const { return file_ != nullptr; }
  bool Write(const void* data, std::size_t size) override {
    return size == 0 || VSIFWriteL(data, 1, size, file_) == size;
  }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return VSIFSeekL(file_, offset, SEEK_SET) == 0 && Write(data, size);
  }
  bool Close() {
    const bool closed = file_ == nullptr || VSIFCloseL(file_) == 0;
    file_ = nullptr;
    return closed;
  }

 private:
  VSILFILE* file_;
};

// The first bytes of a file GDAL wrote (up to `most`), or nothing.
std::optional<std::vector<unsigned char>> ReadStart(const std::string& path, std::size_t most) {
  VSILFILE* file = VSIFOpenL(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::vector<unsigned char> bytes(most);
  bytes.resize(VSIFReadL(bytes.data(), 1, most, file));
  VSIFCloseL(file);
  return bytes;
}

// The DXF's LINE entities in their order: column lines, then row lines.
// Clipped, the kept cells' edges as the DXF file has them.
bool WriteGridLines(OGRLayer& layer, FeatureWriter& writer, const BlockLayout& layout, CellFilter* clip) {
  OGRFeature feature(layer.GetLayerDefn());
  auto* line = new OGRLineString;
  line->setNumPoints(2);
  feature.SetGeometryDirectly(line);
  const auto write = [&](const GridLine& g) {
    line->setPoint(0, static_cast<double>(g.startX), static_cast<double>(g.startY));
    line->setPoint(1, static_cast<double>(g.endX), static_cast<double>(g.endY));
    return writer.Write(layer, feature);
  };
  return clip != nullptr ? ClippedWalk(layout, *clip).WalkLines(write) : layout.WalkGridLines(write);
}

// A frame of GDAL's is a layer's files without features: a few kilobytes.
constexpr std::size_t kLargestFrame = 1 << 20;

// The writer works on a temporary: the save names the file the user chose.
SaveOutcome Failed(std::string reason, int error) { return {Kind::kFailed, {}, error, std::move(reason)}; }
// A failed write of a checked file is the reason, whatever GDAL made of it.
SaveOutcome Failed(const GdalMessages& messages, const CheckedFiles& files, const std::string& fallback) {
  if (files.error() != 0) return Failed("Could not write " + files.file(), files.error());
  return Failed(messages.Reason(fallback), 0);
}
SaveOutcome Refused(std::string reason) { return {Kind::kRefused, {}, 0, std::move(reason)}; }
SaveOutcome Cancelled() { return {Kind::kCancelled, {}, 0, {}}; }

}  // namespace

bool GisAvailable() { return true; }

std::optional<std::string> CheckSrs(const std::string& srs) {
  const CLocale cLocale;
  RegisterDrivers();
  GdalMessages messages;
  OGRSpatialReference crs;
  return ReadSrs(crs, srs, messages);
}

EpsgCode GeoJsonEpsgCode(const std::string& srs) {
  const CLocale cLocale;
  RegisterDrivers();
  GdalMessages messages;
  OGRSpatialReference crs;
  if (std::optional<std::string> why = ReadSrs(crs, srs, messages))
    return {{}, "Unknown coordinate reference system: " + *why};
  if (std::optional<std::string> code = EpsgCodeOf(crs)) return {*code, {}};
  return {{}, "A GeoJSON file can name a coordinate reference system only by its EPSG code, and this one has none: "
              "save as GeoPackage or Shapefile, or give the system as EPSG:<code>."};
}

// Clip hook: the clip area through GDAL (gis_clip_gdal.cpp), set up as a save is.
ClipArea OpenClipArea(const ClipSource& source, const CellBlock& block, const std::string& srs) {
  const CLocale cLocale;
  RegisterDrivers();
  OGRSpatialReference crs;
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (!srs.empty()) {
    GdalMessages messages;
    if (std::optional<std::string> why = ReadSrs(crs, srs, messages))
      return ClipRefusal{ClipRefusal::Kind::kCrs, "Unknown coordinate reference system: " + *why};
  }
  return ReadClipArea(source, block, srs.empty() ? nullptr : &crs);
}

SaveOutcome WriteGisDataset(const SaveTarget& target, const CellBlock& spec, const std::string& srs,
                            Progress* callersProgress, CellFilter* clip, bool cellCentres) {
  const CLocale cLocale;  // first made, last gone: GDALClose too runs in it
  std::optional<ProgressInLocale> inLocale;
  if (callersProgress != nullptr) inLocale.emplace(*callersProgress, cLocale.outer());
  Progress* const progress = inLocale ? &*inLocale : nullptr;
  const std::string& path = target.path();
  const SaveFormat format = target.format;
  const BlockLayout layout(spec);
  if (std::optional<std::string> why = gis::Refusal(layout)) return Refused(*why);
  // GDAL makes the names of a Shapefile's files in buffers of 2048 bytes
  // (longer, they lose their folder and land in the working folder), and
  // its SQLite file layer a GeoPackage's journal's, with "-journal".
  const std::string gdalPath = kCheckedPrefix + GdalFiles(target)[0];
  if (gdalPath.size() + std::strlen("-journal") >= kGdalPathBytes)
    return Refused("The folder's path is too long for GDAL, which takes paths of up to 2048 bytes: "
                   "choose a folder with a shorter path.");

  RegisterDrivers();
  GdalMessages messages;
  OGRSpatialReference crs;
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // x east, y north, whatever the CRS says
  if (!srs.empty()) {
    if (std::optional<std::string> why = ReadSrs(crs, srs, messages)) return Refused(*why);
  }
  OGRSpatialReference* layerCrs = srs.empty() ? nullptr : &crs;

  if (format == SaveFormat::kShapefile)
    if (std::optional<std::string> why = ShapefileRefusal(layout)) return Refused(*why);
  if (cellCentres && format != SaveFormat::kGeoPackage)
    return Refused("Only a GeoPackage holds the layer of the cells' centre points (cell_centres).");

  const bool lines = format == SaveFormat::kGeoPackage;
  std::uint64_t total = lines ? gis::GeoPackageSteps(layout, cellCentres) : layout.labelCount();
  if (clip != nullptr) {  // clip hook: what the clipped walks hand over, counted with cancel heard
    ClippedWalk walk(layout, *clip);
    walk.SetStillWanted([&] { return progress == nullptr || progress->Step(0, 1); });
    ClippedWalk::Counts counts;
    if (!walk.Count(counts)) return Cancelled();
    total = counts.cells * (cellCentres ? 2 : 1) + (lines ? counts.lines : 0);
    if (progress != nullptr && !progress->Step(0, total)) return Cancelled();
  }
  gis::Steps steps(progress, total);
  if (clip == nullptr && !steps.Start()) return Cancelled();

  // GDAL takes any other name for a folder of Shapefiles.
  if (format == SaveFormat::kShapefile && TargetOfPath(path).format != SaveFormat::kShapefile)
    return Failed("A Shapefile's name must end in .shp", EINVAL);
  const std::vector<std::string>& files = target.files;
  const std::vector<std::string> gdalFiles = GdalFiles(target);
  for (const std::vector<std::string>* names : {&files, &gdalFiles})
    for (const std::string& name : *names)
      if (Exists(name)) return Failed("A file is in the way: " + name, EEXIST);

  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(format));
  if (driver == nullptr)
    return Failed(std::string("GDAL has no driver \"") + DriverName(format) + "\"", 0);

  // A new GeoPackage is a temporary until it is renamed into place: a crash
  // can lose it, but never an existing file, so SQLite need neither sync
  // nor keep a journal to roll back with (a failed save removes the file).
  const ConfigOption synchronous("OGR_SQLITE_SYNCHRONOUS", "OFF");
  const ConfigOption journal("OGR_SQLITE_JOURNAL", "OFF");
  // Larger pages for a larger block: fewer of them to write and to keep
  // in the b-trees (a tenth of the time at a million cells). A small block
  // keeps SQLite's usual pages and a small file.
  constexpr std::uint64_t kManyRows = 1 << 16;
  const ConfigOption pageSize("OGR_SQLITE_PRAGMA",
                              format == SaveFormat::kGeoPackage && layout.labelCount() + layout.lineCount() >= kManyRows
                                  ? "page_size=65536"
                                  : nullptr);
  // SpatiaLite, which a GeoPackage does not need, would set the process's
  // numeric locale when GDAL loads it.
  const ConfigOption spatialite("SPATIALITE_LOAD", "NO");
  CheckedFiles checked;  // outlives the dataset, whose closing writes too
  NewDataset created(gdalFiles, format);
  created.dataset = driver->Create(gdalPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (created.dataset == nullptr || messages.failed() || checked.error() != 0)
    return Failed(messages, checked, "GDAL could not create " + path);

  OGRLayer* cells = CreateCellsLayer(*created.dataset, format, layout, layerCrs);
  if (cells == nullptr || messages.failed() || checked.error() != 0)
    return Failed(messages, checked, "GDAL could not create the layer cells");
  OGRLayer* gridLines = nullptr;
  if (lines) {
    gridLines = CreateLayer(*created.dataset, "grid_lines", layerCrs, wkbLineString, format, nullptr);
    if (gridLines == nullptr || messages.failed())
      return Failed(messages, checked, "GDAL could not create the layer grid_lines");
  }
  OGRLayer* centres = nullptr;
  if (cellCentres) {
    centres = CreateCentresLayer(*created.dataset, layout, layerCrs);
    if (centres == nullptr || messages.failed())
      return Failed(messages, checked, "GDAL could not create the layer cell_centres");
  }

  gis::StreamOutcome written;
  if (clip != nullptr) {
    // A clipped block goes feature by feature: its cells are few where
    // an area is small, and come row by row as the area keeps them.
    FeatureWriter writer(*created.dataset, format == SaveFormat::kGeoPackage, messages, checked, progress, total);
    const bool ok = WriteCells(*cells, writer, layout, clip) &&
                    (gridLines == nullptr || WriteGridLines(*gridLines, writer, layout, clip)) &&
                    (centres == nullptr || WriteCentres(*centres, writer, layout, clip)) && writer.Finish();
    if (writer.cancelled()) return Cancelled();
    if (!ok) return Failed(messages, checked, "GDAL could not write " + path);
  } else {
    // GDAL has made the layers; the bulk writers put the cells in.
    if (format == SaveFormat::kGeoPackage) {
      auto* db = static_cast<sqlite3*>(created.dataset->GetInternalHandle("SQLITE_HANDLE"));
      if (db == nullptr || created.dataset->StartTransaction() != OGRERR_NONE)
        return Failed(messages, checked, "GDAL could not write " + path);
      const std::optional<gis::GeoPackageTable> centresTable =
          centres == nullptr ? std::nullopt
                             : std::optional<gis::GeoPackageTable>(
                                   {"cell_centres", centres->GetFIDColumn(), centres->GetGeometryColumn()});
      written = gis::WriteGeoPackage(db, {"cells", cells->GetFIDColumn(), cells->GetGeometryColumn()},
                                     {"grid_lines", gridLines->GetFIDColumn(), gridLines->GetGeometryColumn()},
                                     centresTable ? &*centresTable : nullptr, layout,
                                     CPLGetConfigOption("OGR_CURRENT_DATE", nullptr), steps);
      // Committed either way: without a journal SQLite cannot roll back,
      // and the file of a failed save goes.
      if (created.dataset->CommitTransaction() != OGRERR_NONE && written.kind == gis::StreamOutcome::Kind::kWritten)
        written = {gis::StreamOutcome::Kind::kFailed, {}};
    } else {
      // GDAL writes the frame of a layer without features when the dataset
      // closes: a Shapefile's headers. The records go in between.
      created.Close();
      if (messages.failed() || checked.error() != 0)
        return Failed(messages, checked, "GDAL could not complete " + path);
      const std::size_t shx = 1, dbf = 2;  // after the .shp, in a SaveTarget's order
      std::vector<std::vector<unsigned char>> frames;
      for (std::size_t k = 0; k <= dbf; ++k) {
        std::optional<std::vector<unsigned char>> frame = ReadStart(kCheckedPrefix + gdalFiles[k], kLargestFrame);
        if (!frame || frame->size() == kLargestFrame)
          return Failed(messages, checked, "GDAL could not complete " + path);
        frames.push_back(std::move(*frame));
      }
      CheckedSink shp(gdalPath), shxFile(kCheckedPrefix + gdalFiles[shx]), dbfFile(kCheckedPrefix + gdalFiles[dbf]);
      written = shp.open() && shxFile.open() && dbfFile.open()
                    ? gis::WriteShapefile(shp, shxFile, dbfFile, std::move(frames[0]), std::move(frames[shx]),
                                          std::move(frames[dbf]), layout, steps)
                    : gis::StreamOutcome{gis::StreamOutcome::Kind::kFailed, {}};
      for (CheckedSink* file : {&shp, &shxFile, &dbfFile})
        if (!file->Close() && written.kind == gis::StreamOutcome::Kind::kWritten)
          written = {gis::StreamOutcome::Kind::kFailed, {}};
    }
  }
  if (written.kind == gis::StreamOutcome::Kind::kCancelled) return Cancelled();
  if (written.kind == gis::StreamOutcome::Kind::kFailed || messages.failed() || checked.error() != 0) {
    if (checked.error() == 0 && !messages.failed() && !written.reason.empty()) return Failed(written.reason, 0);
    return Failed(messages, checked, "GDAL could not write " + path);
  }

  created.Close();  // the end of a GeoPackage's metadata
  if (messages.failed() || checked.error() != 0) return Failed(messages, checked, "GDAL could not complete " + path);
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (files[k] != gdalFiles[k] && Exists(gdalFiles[k]) && std::rename(gdalFiles[k].c_str(), files[k].c_str()) != 0) {
      const int error = errno;
      for (std::size_t back = 0; back < k; ++back) std::rename(files[back].c_str(), gdalFiles[back].c_str());
      return Failed("Could not rename " + gdalFiles[k] + " to " + files[k], error);
    }
  }
  // The end is told once the dataset is complete.
  if (progress != nullptr && !progress->Step(total, total)) {
    for (const std::string& file : files) unlink(file.c_str());
    return Cancelled();
  }
  created.Keep();
  return {};
}

}  // namespace tavimo

// The module's one exported symbol.
extern "C" [[gnu::visibility("default")]] const tavimo::GisModule* TavimoGisModule() {
  static const tavimo::GisModule module{&tavimo::GisAvailable, &tavimo::CheckSrs, &tavimo::GeoJsonEpsgCode,
                                        &tavimo::WriteGisDataset, &tavimo::OpenClipArea};
  return &module;
}
