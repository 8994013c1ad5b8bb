// A clip area through GDAL: the polygons of one layer of any vector file,
// brought into the block's CRS, joined into one area (GEOS) and cut to the
// block's box. Only the boundary's edges within the box are kept, for the
// filter that decides the cells row by row without GDAL.

#include "export/gis_clip_gdal.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "model/area_filter.h"
#include "model/block_layout.h"

namespace tavimo {
namespace {

using Kind = ClipRefusal::Kind;

ClipRefusal Refused(Kind kind, std::string reason) { return {kind, std::move(reason)}; }

// GDAL's first error while one of these lives, caught on this thread
// instead of printed. Warnings pass: a reader goes on past them.
class FirstError {
 public:
  FirstError() { CPLPushErrorHandlerEx(&Catch, this); }
  ~FirstError() { CPLPopErrorHandler(); }
  FirstError(const FirstError&) = delete;
  FirstError& operator=(const FirstError&) = delete;

  bool failed() const { return failed_; }
  std::string Reason(const std::string& fallback) const { return text_.empty() ? fallback : fallback + ": " + text_; }

 private:
  static void CPL_STDCALL Catch(CPLErr level, CPLErrorNum, const char* text) {
    auto* self = static_cast<FirstError*>(CPLGetErrorHandlerUserData());
    if (level < CE_Failure || self->failed_) return;
    self->failed_ = true;
    self->text_ = text != nullptr ? text : "";
  }

  bool failed_ = false;
  std::string text_;
};

// A file or folder on the disk only: GDAL would also take its virtual file
// systems, URLs and database connections, which may wait on the network or
// a server (and a FIFO would block).
std::optional<std::string> PathRefusal(const std::string& path) {
  if (STARTS_WITH_CI(path.c_str(), "/vsi")) return std::string("GDAL's virtual file systems (/vsi...) are not read");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int error = errno;
    return "cannot read " + path + ": " + (error == ENOENT ? std::string("no such file") : std::strerror(error));
  }
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return path + " is neither a file nor a folder";
  return std::nullopt;
}

// "ETRS89 / UTM zone 33N (EPSG:25833)".
std::string CrsName(const OGRSpatialReference& crs) {
  std::string name = crs.GetName() != nullptr ? crs.GetName() : "an unnamed system";
  const char* authority = crs.GetAuthorityName(nullptr);
  const char* code = crs.GetAuthorityCode(nullptr);
  if (authority != nullptr && code != nullptr) name += std::string(" (") + authority + ":" + code + ")";
  return name;
}

// A GeoPackage names no system by its placeholders "Undefined geographic
// SRS" and "Undefined cartesian SRS" (srs_id 0 and -1), which GDAL reads as
// systems of those names: both mean none, as a layer without any.
const OGRSpatialReference* Defined(const OGRSpatialReference* crs) {
  if (crs == nullptr || crs->GetAuthorityName(nullptr) != nullptr || crs->GetName() == nullptr) return crs;
  const bool placeholder =
      EQUAL(crs->GetName(), "Undefined geographic SRS") || EQUAL(crs->GetName(), "Undefined cartesian SRS");
  return placeholder ? nullptr : crs;
}

// The polygons of a geometry into `into`, flat (without Z) and with
// straight edges; points and lines are no area.
void AddPolygons(const OGRGeometry& geometry, OGRMultiPolygon& into) {
  const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
  if (OGR_GT_IsSubClassOf(type, wkbCurvePolygon) || OGR_GT_IsSubClassOf(type, wkbPolyhedralSurface)) {
    std::unique_ptr<OGRGeometry> linear(geometry.getLinearGeometry());
    if (linear == nullptr) return;
    linear->flattenTo2D();
    if (OGR_GT_IsSubClassOf(wkbFlatten(linear->getGeometryType()), wkbPolyhedralSurface)) {
      std::unique_ptr<OGRGeometry> parts(OGRGeometryFactory::forceToMultiPolygon(linear.release()));
      if (parts != nullptr) AddPolygons(*parts, into);
      return;
    }
    std::unique_ptr<OGRGeometry> polygon(OGRGeometryFactory::forceToPolygon(linear.release()));
    if (polygon != nullptr && wkbFlatten(polygon->getGeometryType()) == wkbPolygon && !polygon->IsEmpty())
      into.addGeometryDirectly(polygon.release());
  } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
    for (const OGRGeometry* part : *geometry.toGeometryCollection()) AddPolygons(*part, into);
  }
}

// The block and a cell around it, so that the area's cut edges lie off
// the grid lines.
OGRPolygon BoxAround(const BlockLayout& layout) {
  const std::int64_t columns = layout.columnCount(), rows = layout.rowCount();
  auto* ring = new OGRLinearRing;
  for (const auto& [i, j] : {std::pair<std::int64_t, std::int64_t>{-1, -1}, {columns + 1, -1},
                             {columns + 1, rows + 1}, {-1, rows + 1}, {-1, -1}}) {
    Extended x, y;
    layout.GridPoint(i, j, x, y);
    ring->addPoint(static_cast<double>(x), static_cast<double>(y));
  }
  OGRPolygon box;
  box.addRingDirectly(ring);
  return box;
}

}  // namespace

ClipArea ReadClipArea(const ClipSource& source, const CellBlock& block, const OGRSpatialReference* blockCrs) {
  const std::string& path = source.path;
  const BlockLayout layout(block);
  if (layout.labelCount() == 0) return Refused(Kind::kOutside, "The block has no cells to clip");
  if (std::optional<std::string> why = PathRefusal(path)) return Refused(Kind::kUnreadable, *why);

  FirstError errors;
  const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (dataset == nullptr)
    return Refused(Kind::kUnreadable, errors.Reason("GDAL cannot read " + path + " as vector data"));
  OGRLayer* layer = nullptr;
  if (source.layer.empty()) {
    if (dataset->GetLayerCount() == 0) return Refused(Kind::kNoLayer, path + " has no layers");
    layer = dataset->GetLayer(0);
  } else {
    layer = dataset->GetLayerByName(source.layer.c_str());
    if (layer == nullptr) {
      std::string names;
      for (OGRLayer* other : dataset->GetLayers()) names += (names.empty() ? "" : ", ") + std::string(other->GetName());
      return Refused(Kind::kNoLayer, path + " has no layer \"" + source.layer + "\" (its layers: " + names + ")");
    }
  }
  const std::string layerName = std::string("the layer \"") + layer->GetName() + "\" of " + path;

  // Both with a CRS, or neither: numbers in an unknown system cannot be
  // brought into a known one, nor the other way round.
  const OGRSpatialReference* layerCrs = Defined(layer->GetSpatialRef());
  if (layerCrs != nullptr && blockCrs == nullptr)
    return Refused(Kind::kAreaCrsOnly, layerName + " is in " + CrsName(*layerCrs) +
                                           ", and the block has no coordinate reference system");
  if (layerCrs == nullptr && blockCrs != nullptr)
    return Refused(Kind::kBlockCrsOnly, layerName + " has no coordinate reference system, and the block is in " +
                                            CrsName(*blockCrs));
  std::unique_ptr<OGRCoordinateTransformation> transform;
  if (layerCrs != nullptr) {
    OGRSpatialReference from(*layerCrs);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // x east, y north, as the block's
    if (!from.IsSame(blockCrs)) {
      transform.reset(OGRCreateCoordinateTransformation(&from, blockCrs));
      if (transform == nullptr)
        return Refused(Kind::kCrs, errors.Reason("GDAL cannot bring " + CrsName(from) + " into " + CrsName(*blockCrs)));
    }
  }

  // The polygons near the block; those far off cannot keep a cell and
  // would only slow the union.
  const OGRPolygon box = BoxAround(layout);
  OGREnvelope boxEnvelope;
  box.getEnvelope(&boxEnvelope);
  OGRMultiPolygon near;
  bool anyPolygon = false;
  for (const auto& feature : *layer) {
    const OGRGeometry* geometry = feature->GetGeometryRef();
    if (geometry == nullptr) continue;
    OGRMultiPolygon polygons;
    AddPolygons(*geometry, polygons);
    if (polygons.IsEmpty()) continue;
    anyPolygon = true;
    if (transform != nullptr && polygons.transform(transform.get()) != OGRERR_NONE)
      return Refused(Kind::kCrs, errors.Reason("GDAL cannot bring " + layerName + " into " + CrsName(*blockCrs)));
    OGREnvelope envelope;
    polygons.getEnvelope(&envelope);
    if (!envelope.Intersects(boxEnvelope)) continue;
    for (const OGRPolygon* polygon : polygons) {
      if (polygon->IsValid()) {
        near.addGeometry(polygon);
        continue;
      }
      // A ring that crosses itself, say: the area GEOS makes of it.
      std::unique_ptr<OGRGeometry> valid(polygon->MakeValid());
      if (valid != nullptr) AddPolygons(*valid, near);
    }
  }
  if (errors.failed()) return Refused(Kind::kUnreadable, errors.Reason("GDAL cannot read " + layerName));
  if (!anyPolygon) return Refused(Kind::kNoPolygons, layerName + " has no polygons");

  // One area of parts that do not overlap, as the filter counts crossings,
  // and of it only what lies over the block.
  std::unique_ptr<OGRGeometry> area;
  if (near.getNumGeometries() > 1)
    area.reset(near.UnionCascaded());
  else if (near.getNumGeometries() == 1)
    area.reset(near.getGeometryRef(0)->clone());
  std::unique_ptr<OGRGeometry> over(area != nullptr ? area->Intersection(&box) : nullptr);
  if (errors.failed())
    return Refused(Kind::kUnreadable, errors.Reason("GEOS cannot join the polygons of " + layerName));
  OGRMultiPolygon parts;
  if (over != nullptr) AddPolygons(*over, parts);

  auto filter = std::make_unique<AreaFilter>(layout, source.mode);
  for (const OGRPolygon* polygon : parts) {
    for (const OGRLinearRing* ring : *polygon) {
      const int points = ring->getNumPoints();
      for (int k = 0; k < points; ++k) {
        const int next = k + 1 < points ? k + 1 : 0;  // closed or not
        filter->AddEdge(ring->getX(k), ring->getY(k), ring->getX(next), ring->getY(next));
      }
    }
  }
  if (filter->empty()) return Refused(Kind::kOutside, layerName + " lies wholly outside the block");
  filter->Prepare();
  return std::unique_ptr<CellFilter>(std::move(filter));
}

}  // namespace tavimo
