#!/usr/bin/python3
"""The QGIS algorithm "Cell block" run headless, through QGIS's Python API
and once through qgis_process.bin: its cells are tavimo-export's cells, its
errors are Tavimo's messages, a cancel stops the exporter and leaves nothing.

cell_block_test.py --exporter PROGRAM --plugins FOLDER --work FOLDER
(exit status 77 when QGIS's Python bindings are missing)."""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None


def cells(path, layer="cells"):
    """(column, row, label, label_x, label_y, WKB) of every cell, in order."""
    from osgeo import ogr
    source = ogr.Open(path)
    found = source.GetLayerByName(layer) if layer else source.GetLayer(0)
    rows = []
    for feature in found:
        rows.append((feature.GetField("column"), feature.GetField("row"), feature.GetField("label"),
                     feature.GetField("label_x"), feature.GetField("label_y"),
                     bytes(feature.GetGeometryRef().ExportToIsoWkb())))
    return rows


def export(path, *options):
    subprocess.run([ARGS.exporter, *options, path], check=True, stderr=subprocess.PIPE)
    return cells(path)


class Feedback:
    """A QgsProcessingFeedback that keeps the errors it reports and may cancel
    itself once the exporter reports progress."""

    @staticmethod
    def make(cancel_at=None):
        from qgis.core import QgsProcessingFeedback

        class Recording(QgsProcessingFeedback):
            def __init__(self):
                super().__init__()
                self.errors = []
                self.highest = 0

            def reportError(self, error, fatalError=False):  # noqa: N802, N803
                self.errors.append(error)

            def setProgress(self, progress):  # noqa: N802
                super().setProgress(progress)
                self.highest = max(self.highest, progress)
                if cancel_at is not None and progress >= cancel_at:
                    self.cancel()

        return Recording()


class CellBlockTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from qgis.core import QgsApplication
        cls.registry = QgsApplication.processingRegistry()
        cls.work = tempfile.mkdtemp(dir=ARGS.work)

    def run_algorithm(self, parameters, feedback=None, algorithm=None):
        from qgis.core import QgsProcessingContext
        algorithm = algorithm or self.registry.createAlgorithmById("tavimo:cellblock")
        feedback = feedback or Feedback.make()
        results, ok = algorithm.run(parameters, QgsProcessingContext(), feedback)
        return results, ok, feedback

    def path(self, name):
        return os.path.join(self.work, name)

    def test_default_block_is_the_exporters(self):
        results, ok, feedback = self.run_algorithm({"OUTPUT": self.path("default.gpkg")})
        self.assertTrue(ok, feedback.errors)
        expected = export(self.path("exporter_default.gpkg"))
        self.assertEqual(len(expected), 100)
        self.assertEqual(cells(results["OUTPUT"], None), expected)

    def test_turned_clipped_lettered_block(self):
        from osgeo import ogr, osr
        from qgis.core import QgsCoordinateReferenceSystem, QgsFeature, QgsGeometry, QgsVectorLayer
        area = "POLYGON((389210 5819405,389260 5819420,389230 5819460,389205 5819440,389210 5819405))"
        # The clip area as a file (passed by its name) and as a memory layer
        # (written to a temporary file): the same cells either way.
        clip_file = self.path("area.gpkg")
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(25833)
        source = ogr.GetDriverByName("GPKG").CreateDataSource(clip_file)
        layer = source.CreateLayer("area", srs, ogr.wkbPolygon)
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetGeometry(ogr.CreateGeometryFromWkt(area))
        layer.CreateFeature(feature)
        source = None
        memory = QgsVectorLayer("Polygon?crs=EPSG:25833", "area", "memory")
        polygon = QgsFeature()
        polygon.setGeometry(QgsGeometry.fromWkt(area))
        memory.dataProvider().addFeatures([polygon])

        parameters = {"START": "389200,5819400 [EPSG:25833]", "CRS": "EPSG:25833", "ANGLE": 17.5,
                      "DIRECTION": 1, "CELL_WIDTH": 7.5, "CELL_HEIGHT": 5, "WIDTH_TOTAL": 75,
                      "HEIGHT_TOTAL": 60, "LABELS": "{col:A}{row:02}", "CORNER": 2, "CLIP_MODE": 2}
        expected = export(self.path("exporter_clipped.gpkg"), "--x", "389200", "--y", "5819400", "--decimals",
                          "--angle", "17.5", "--counter-clockwise", "--width-cell", "7.5", "--height-cell", "5",
                          "--width-total", "75", "--height-total", "60", "--labels", "{col:A}{row:02}",
                          "--corner", "upper-left", "--clip", clip_file, "--clip-mode", "centre",
                          "--srs", "EPSG:25833")
        for name, clip in (("by_file", clip_file), ("by_layer", memory)):
            results, ok, feedback = self.run_algorithm(dict(parameters, CLIP=clip,
                                                            OUTPUT=self.path(name + ".gpkg")))
            self.assertTrue(ok, feedback.errors)
            self.assertEqual(cells(results["OUTPUT"], None), expected, name)
            written = QgsVectorLayer(results["OUTPUT"], name, "ogr")
            self.assertEqual(written.crs(), QgsCoordinateReferenceSystem("EPSG:25833"))
            del written

        # Checked on their own: every kept cell's centre is in the area, its
        # label letters then two digits, its edges turned by 17.5 degrees.
        inside = ogr.CreateGeometryFromWkt(area)
        self.assertTrue(0 < len(expected) < 120)
        for column, row, label, _, _, wkb in expected:
            cell = ogr.CreateGeometryFromWkb(wkb)
            self.assertTrue(inside.Contains(cell.Centroid()), label)
            self.assertRegex(label, r"^[A-J][0-9]{2}$")
            ring = cell.GetGeometryRef(0)
            x0, y0 = ring.GetPoint_2D(0)
            x1, y1 = ring.GetPoint_2D(1)
            turn = math.degrees(math.atan2(y1 - y0, x1 - x0)) % 90
            self.assertAlmostEqual(min(turn, 90 - turn), 17.5 if turn < 45 else 72.5, places=6)

    def test_extent_and_baseline(self):
        # QGIS writes an extent as xmin,xmax,ymin,ymax; Tavimo as xmin,ymin,xmax,ymax.
        cases = (({"EXTENT": "0,400,0,250", "ANGLE": 1.3, "DIRECTION": 1, "CELL_WIDTH": 67.056,
                   "CELL_HEIGHT": 60.3504},
                  ["--decimals", "--angle", "1.3", "--counter-clockwise", "--width-cell", "67.056",
                   "--height-cell", "60.3504", "--extent", "0,0,400,250"]),
                 ({"BASELINE_START": "500,1000", "BASELINE_END": "519.908,998.083", "COLUMNS": 10, "ROWS": 6,
                   "CELL_WIDTH": 2, "CELL_HEIGHT": 2, "ANGLE": 45},
                  ["--baseline", "500,1000,519.908,998.083", "--columns", "10", "--rows", "6",
                   "--width-cell", "2", "--height-cell", "2"]))
        for number, (parameters, options) in enumerate(cases):
            results, ok, feedback = self.run_algorithm(dict(parameters, OUTPUT=self.path(f"layout{number}.gpkg")))
            self.assertTrue(ok, feedback.errors)
            self.assertEqual(cells(results["OUTPUT"], None), export(self.path(f"exporter{number}.gpkg"), *options))

    def test_tavimo_message_as_qgis_error(self):
        results, ok, feedback = self.run_algorithm({"LABELS": "{col", "OUTPUT": self.path("refused.gpkg")})
        self.assertFalse(ok)
        self.assertIn('tavimo-export: Label template: a "{" without its "}"', "\n".join(feedback.errors))
        self.assertFalse(os.path.exists(self.path("refused.gpkg")))

    def test_cancel_stops_the_exporter_and_leaves_nothing(self):
        feedback = Feedback.make(cancel_at=1)
        started = time.monotonic()
        results, ok, _ = self.run_algorithm({"COLUMNS": 3000, "ROWS": 3000, "CELL_WIDTH": 1, "CELL_HEIGHT": 1,
                                             "OUTPUT": self.path("cancelled.gpkg")}, feedback)
        # Stopped, not awaited: the export (0 to 60 per cent of the bar) ends
        # far from its end, long before the minutes a whole run would take.
        self.assertLess(time.monotonic() - started, 30)
        self.assertTrue(feedback.isCanceled())
        self.assertLess(feedback.highest, 30)
        self.assertNotIn("OUTPUT", results)
        self.assertFalse(os.path.exists(self.path("cancelled.gpkg")))
        self.assertEqual([name for name in os.listdir(tempfile.gettempdir()) if name.startswith("tavimo-")], [])
        running = [pid for pid in os.listdir("/proc") if pid.isdigit() and
                   _reads(f"/proc/{pid}/cmdline").startswith(ARGS.exporter.encode() + b"\0")]
        self.assertEqual(running, [])

    def test_offers_only_what_the_exporter_lists(self):
        from tavimo_processing import exporter
        from tavimo_processing.cell_block_algorithm import CellBlockAlgorithm
        older = self.path("older-tavimo-export")
        with open(older, "w") as f:
            f.write("#!/bin/sh\n[ \"$1\" = --help ] && { echo '  --x TEXT'; echo '  --progress'; exit 0; }\n"
                    f"exec '{ARGS.exporter}' \"$@\"\n")
        os.chmod(older, 0o755)
        options = exporter.supported_options(older)
        self.assertEqual(options, {"--progress"})
        algorithm = CellBlockAlgorithm(older, options)
        algorithm.initAlgorithm()
        names = {p.name() for p in algorithm.parameterDefinitions()}
        self.assertFalse(names & {"CLIP", "LABELS", "EXTENT", "BASELINE_START", "COLUMNS", "STRICT"})
        self.assertEqual(len(exporter.supported_options(ARGS.exporter)), len(exporter.OPTIONS))

    def test_qgis_process(self):
        program = shutil.which("qgis_process.bin")
        if not program:
            self.skipTest("no qgis_process.bin")
        home = tempfile.mkdtemp(dir=self.work)
        env = dict(os.environ, HOME=home, QGIS_PLUGINPATH=ARGS.plugins, QT_QPA_PLATFORM="offscreen",
                   PATH=os.path.dirname(ARGS.exporter) + os.pathsep + os.environ["PATH"])
        subprocess.run([program, "plugins", "enable", "tavimo_processing"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        out = self.path("qgis_process.gpkg")
        run = subprocess.run([program, "run", "tavimo:cellblock", "--", "ANGLE=30", "DIRECTION=1",
                              "OUTPUT=" + out], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(run.returncode, 0, run.stdout.decode())
        self.assertEqual(cells(out, None),
                         export(self.path("exporter_30.gpkg"), "--angle", "30", "--counter-clockwise"))


def _reads(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--exporter", required=True)
    parser.add_argument("--plugins", required=True)
    parser.add_argument("--work", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.exporter = os.path.abspath(ARGS.exporter)
    os.makedirs(ARGS.work, exist_ok=True)
    # The runs' temporary folders go here, so that the test sees what is left.
    os.environ["TMPDIR"] = tempfile.mkdtemp(dir=ARGS.work, prefix="tmp")
    tempfile.tempdir = None
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    os.environ.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(dir=ARGS.work, prefix="runtime"))
    os.environ["PATH"] = os.path.dirname(ARGS.exporter) + os.pathsep + os.environ.get("PATH", "")
    sys.path[:0] = [ARGS.plugins, "/usr/share/qgis/python/plugins"]
    try:
        from qgis.core import QgsApplication
    except ImportError:
        print("skipped: no QGIS Python bindings (scripts/setup test installs python3-qgis)")
        return 77
    app = QgsApplication([], False)
    app.initQgis()
    from processing.core.Processing import Processing
    Processing.initialize()
    import tavimo_processing
    plugin = tavimo_processing.classFactory(None)
    plugin.initProcessing()
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False).result
    plugin.unload()
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
