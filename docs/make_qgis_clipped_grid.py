#!/usr/bin/env python3
"""Draws the guide's picture of a clipped, letter-labelled, turned grid as
QGIS shows it, docs/qgis_clipped_grid.png: tavimo-export writes the
GeoPackage for a site outline, and QGIS (headless, through PyQGIS) draws
the kept cells, the outline and the labels placed from label_x, label_y
and label_angle, as the guide tells a user to set them.

    /usr/bin/python3 docs/make_qgis_clipped_grid.py build/cli/tavimo-export docs/qgis_clipped_grid.png
"""
import json
import math
import os
import subprocess
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem, QgsFillSymbol, QgsMapRendererParallelJob,
                       QgsMapSettings, QgsPalLayerSettings, QgsProperty, QgsRectangle, QgsTextBufferSettings,
                       QgsTextFormat, QgsUnitTypes, QgsVectorLayer, QgsVectorLayerSimpleLabeling)
from qgis.PyQt.QtCore import QSize
from qgis.PyQt.QtGui import QColor, QFont, QImage

# The block: 25 m cells, 14 by 10, turned 20 degrees clockwise, labelled
# A1, B1... from the upper left corner at the cells' centres, over a site
# in ETRS89 / UTM 33N.
X, Y, CELL, COLUMNS, ROWS, ANGLE = 389200.0, 5819400.0, 25.0, 14, 10, 20.0
BLOCK = ["--decimals", "--x", str(X), "--y", str(Y), "--angle", str(ANGLE), "--width-cell", str(CELL),
         "--height-cell", str(CELL), "--columns", str(COLUMNS), "--rows", str(ROWS), "--srs", "EPSG:25833",
         "--labels", "{col:A}{row}", "--corner", "upper-left", "--label-centre"]
SIZE = QSize(760, 560)


def site_outline():
    """An irregular outline round the block's middle, in map coordinates."""
    a = math.radians(ANGLE)
    u, v = COLUMNS * CELL / 2, ROWS * CELL / 2
    cx = X + u * math.cos(a) + v * math.sin(a)
    cy = Y - u * math.sin(a) + v * math.cos(a)
    ring = []
    for k in range(48):
        t = 2 * math.pi * k / 48
        r = 140 * (1 + 0.18 * math.sin(3 * t) + 0.08 * math.cos(5 * t))
        ring.append([round(cx + 1.25 * r * math.cos(t), 3), round(cy + 0.85 * r * math.sin(t), 3)])
    ring.append(ring[0])
    return ring


def main():
    exporter, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as folder:
        area = os.path.join(folder, "site.geojson")
        with open(area, "w") as f:
            json.dump({"type": "FeatureCollection", "crs": {"type": "name", "properties": {"name": "EPSG:25833"}},
                       "features": [{"type": "Feature", "properties": {},
                                     "geometry": {"type": "Polygon", "coordinates": [site_outline()]}}]}, f)
        grid = os.path.join(folder, "sectors.gpkg")
        subprocess.run([exporter] + BLOCK + ["--clip", area, grid], check=True)

        app = QgsApplication([], False)
        app.initQgis()
        cells = QgsVectorLayer(grid + "|layername=cells", "cells", "ogr")
        site = QgsVectorLayer(area, "site", "ogr")
        assert cells.isValid() and site.isValid()
        cells.renderer().setSymbol(QgsFillSymbol.createSimple(
            {"color": "230,238,246", "outline_color": "60,80,110", "outline_width": "0.3"}))
        site.renderer().setSymbol(QgsFillSymbol.createSimple(
            {"style": "no", "outline_color": "230,120,20", "outline_width": "0.8"}))

        # As the guide says: the label from `label`, placed by label_x and
        # label_y, turned by label_angle, centred there (--label-centre).
        text = QgsTextFormat()
        text.setFont(QFont("DejaVu Sans"))
        text.setSize(CELL * 0.28)
        text.setSizeUnit(QgsUnitTypes.RenderMapUnits)
        text.setColor(QColor(20, 30, 50))
        buffer = QgsTextBufferSettings()
        buffer.setEnabled(True)
        buffer.setSize(0.6)
        buffer.setColor(QColor(230, 238, 246))
        text.setBuffer(buffer)
        labels = QgsPalLayerSettings()
        labels.fieldName = "label"
        labels.setFormat(text)
        labels.displayAll = True
        properties = labels.dataDefinedProperties()
        properties.setProperty(QgsPalLayerSettings.PositionX, QgsProperty.fromField("label_x"))
        properties.setProperty(QgsPalLayerSettings.PositionY, QgsProperty.fromField("label_y"))
        properties.setProperty(QgsPalLayerSettings.LabelRotation, QgsProperty.fromField("label_angle"))
        properties.setProperty(QgsPalLayerSettings.Hali, QgsProperty.fromValue("Center"))
        properties.setProperty(QgsPalLayerSettings.Vali, QgsProperty.fromValue("Half"))
        labels.setDataDefinedProperties(properties)
        cells.setLabeling(QgsVectorLayerSimpleLabeling(labels))
        cells.setLabelsEnabled(True)

        settings = QgsMapSettings()
        settings.setLayers([site, cells])
        settings.setDestinationCrs(QgsCoordinateReferenceSystem("EPSG:25833"))
        extent = QgsRectangle(cells.extent())
        extent.combineExtentWith(site.extent())
        extent.grow(15)
        settings.setExtent(extent)
        settings.setOutputSize(SIZE)
        settings.setBackgroundColor(QColor(255, 255, 255))
        job = QgsMapRendererParallelJob(settings)
        job.start()
        job.waitForFinished()
        # A few colours are enough: a palette keeps the file small.
        image = job.renderedImage().convertToFormat(QImage.Format_Indexed8)
        if not image.save(out, "PNG"):
            sys.exit(f"cannot write {out}")
        app.exitQgis()
    print(f"{out}: {os.path.getsize(out)} bytes")


if __name__ == "__main__":
    main()
