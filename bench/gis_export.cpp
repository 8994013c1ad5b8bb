// Writes a square block (cells 1 x 1, angle 30, clockwise, like the export
// benchmark's) as a GIS dataset, for bench/gis_bench.py to time and measure
// until tavimo-export writes GIS formats itself.
//
//   gis_export SIZE PATH [SRS]      the format by PATH's extension

#include <cstdio>
#include <cstdlib>
#include <string>

#include "export/gis_writer.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gis_export SIZE PATH [SRS]\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  const std::string path = argv[2];
  const tavimo::SaveTarget target = tavimo::TargetOfPath(path);
  if (size <= 0 || !tavimo::IsGisFormat(target.format)) {
    std::fprintf(stderr, "gis_export: a positive size and a .gpkg, .geojson or .shp path, please\n");
    return 2;
  }
  tavimo::BlockSpec spec;
  spec.widthTotal = spec.heightTotal = size;
  spec.widthCell = spec.heightCell = 1;
  spec.angle = 30;
  const tavimo::SaveOutcome outcome = tavimo::WriteGisDataset(target, spec, argc > 3 ? argv[3] : "", nullptr);
  if (outcome.kind != tavimo::SaveOutcome::Kind::kSaved) {
    std::fprintf(stderr, "gis_export: %s\n", outcome.reason.c_str());
    return 1;
  }
  return 0;
}
