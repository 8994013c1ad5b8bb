#!/usr/bin/python3
"""Draws the guide's QGIS pictures, headless, with QGIS's own widgets and
map renderer: docs/qgis_dialog.png, the algorithm "Cell block" as the
Processing Toolbox opens it, and docs/qgis_cell_block.png, a turned,
lettered block that the algorithm clipped to a field, on a map.

    /usr/bin/python3 docs/make_qgis_pictures.py build/cli/tavimo-export docs
"""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FIELD = ("POLYGON((389212 5819402,389268 5819418,389285 5819452,389247 5819478,"
         "389214 5819466,389203 5819430,389212 5819402))")


def small(image):
    """The picture in 256 colours at most: a third of the size, the same look."""
    from qgis.PyQt.QtCore import Qt
    from qgis.PyQt.QtGui import QImage
    return image.convertToFormat(QImage.Format_Indexed8, Qt.ThresholdDither | Qt.AvoidDither)


def main(exporter, folder):
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    os.environ["PATH"] = os.path.dirname(os.path.abspath(exporter)) + os.pathsep + os.environ["PATH"]
    sys.path[:0] = [os.path.join(HERE, "..", "qgis"), "/usr/share/qgis/python/plugins"]
    from qgis.core import (QgsApplication, QgsFeature, QgsFillSymbol, QgsGeometry, QgsMapRendererCustomPainterJob,
                           QgsMapSettings, QgsPalLayerSettings, QgsProcessingContext, QgsProcessingFeedback,
                           QgsProperty, QgsTextFormat, QgsVectorLayer, QgsVectorLayerSimpleLabeling)
    from qgis.PyQt.QtCore import QSize, Qt
    from qgis.PyQt.QtGui import QColor, QFont, QImage, QPainter

    app = QgsApplication([], True)
    app.initQgis()
    from processing.core.Processing import Processing
    Processing.initialize()
    import tavimo_processing
    plugin = tavimo_processing.classFactory(None)
    plugin.initProcessing()
    algorithm = QgsApplication.processingRegistry().createAlgorithmById("tavimo:cellblock")

    from processing.gui.AlgorithmDialog import AlgorithmDialog
    dialog = AlgorithmDialog(algorithm.create())
    dialog.resize(760, 560)
    dialog.show()
    app.processEvents()
    small(dialog.grab().toImage()).save(os.path.join(folder, "qgis_dialog.png"))
    dialog.close()

    field = QgsVectorLayer("Polygon?crs=EPSG:25833", "field", "memory")
    polygon = QgsFeature()
    polygon.setGeometry(QgsGeometry.fromWkt(FIELD))
    field.dataProvider().addFeatures([polygon])
    with tempfile.TemporaryDirectory() as work:
        output = os.path.join(work, "cells.gpkg")
        results, ok = algorithm.run({"START": "389200,5819400 [EPSG:25833]", "CRS": "EPSG:25833", "ANGLE": 20,
                                     "DIRECTION": 1, "CELL_WIDTH": 10, "CELL_HEIGHT": 10, "COLUMNS": 9, "ROWS": 8,
                                     "LABELS": "{col:A}{row}", "LABEL_CENTRE": True, "CLIP": field, "CLIP_MODE": 0, "OUTPUT": output},
                                    QgsProcessingContext(), QgsProcessingFeedback())
        if not ok:
            sys.exit("the algorithm failed")
        cells = QgsVectorLayer(output, "cells", "ogr")
        cells.setRenderer(cells.renderer().__class__(QgsFillSymbol.createSimple(
            {"color": "255,236,179,255", "outline_color": "90,90,90,255", "outline_width": "0.3"})))
        text = QgsTextFormat()
        text.setFont(QFont("DejaVu Sans"))
        text.setSize(8)
        labels = QgsPalLayerSettings()
        labels.fieldName = "label"
        labels.setFormat(text)
        # Placed and turned as the guide tells a user to: at label_x,
        # label_y (the centres here), along label_angle.
        properties = labels.dataDefinedProperties()
        for key, field_name in ((QgsPalLayerSettings.PositionX, "label_x"),
                                (QgsPalLayerSettings.PositionY, "label_y"),
                                (QgsPalLayerSettings.LabelRotation, "label_angle")):
            properties.setProperty(key, QgsProperty.fromField(field_name))
        properties.setProperty(QgsPalLayerSettings.Hali, QgsProperty.fromValue("Center"))
        properties.setProperty(QgsPalLayerSettings.Vali, QgsProperty.fromValue("Half"))
        labels.setDataDefinedProperties(properties)
        cells.setLabeling(QgsVectorLayerSimpleLabeling(labels))
        cells.setLabelsEnabled(True)
        field.setRenderer(field.renderer().__class__(QgsFillSymbol.createSimple(
            {"color": "0,0,0,0", "outline_color": "230,97,0,255", "outline_width": "0.8"})))

        settings = QgsMapSettings()
        settings.setLayers([field, cells])
        settings.setDestinationCrs(cells.crs())
        extent = cells.extent()
        extent.combineExtentWith(field.extent())
        extent.scale(1.12)
        settings.setExtent(extent)
        settings.setOutputSize(QSize(560, 420))
        settings.setBackgroundColor(QColor(Qt.white))
        image = QImage(settings.outputSize(), QImage.Format_RGB32)
        image.fill(Qt.white)
        painter = QPainter(image)
        job = QgsMapRendererCustomPainterJob(settings, painter)
        job.start()
        job.waitForFinished()
        painter.end()
        small(image).save(os.path.join(folder, "qgis_cell_block.png"))
        del cells
    plugin.unload()


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
