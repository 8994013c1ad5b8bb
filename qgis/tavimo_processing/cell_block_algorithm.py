"""The algorithm "Cell block": QGIS's parameters turned into tavimo-export's
options, the exporter run into a temporary file, its cells streamed into the
output."""
import os
import shutil
import tempfile

from qgis.core import (QgsCoordinateReferenceSystem, QgsFeature, QgsFeatureRequest, QgsFeatureSink, QgsFields,
                       QgsProcessing, QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingFeatureSourceDefinition, QgsProcessingParameterBoolean,
                       QgsProcessingParameterCrs, QgsProcessingParameterDefinition, QgsProcessingParameterEnum,
                       QgsProcessingParameterExtent, QgsProcessingParameterFeatureSink,
                       QgsProcessingParameterFeatureSource, QgsProcessingParameterNumber,
                       QgsProcessingParameterPoint, QgsProcessingParameterString, QgsProviderRegistry,
                       QgsVectorFileWriter, QgsVectorLayer, QgsWkbTypes)

from . import exporter as tx

DIRECTIONS = ("clockwise", "counter-clockwise")
CORNERS = ("lower-left", "lower-right", "upper-left", "upper-right")
ORDERS = ("rows", "columns", "serpentine")
CLIP_MODES = ("touches", "inside", "centre")
DEFAULT_LABELS = "{col}-{row}"
# The exporter's share of the progress bar; copying the cells takes the rest.
EXPORT_SHARE = 60


def _given(parameters, name):
    return parameters.get(name) not in (None, "")


class CellBlockAlgorithm(QgsProcessingAlgorithm):
    def __init__(self, exporter=None, options=frozenset()):
        super().__init__()
        self.exporter = exporter
        self.options = options

    def createInstance(self):  # noqa: N802
        return CellBlockAlgorithm(self.exporter, self.options)

    def name(self):
        return "cellblock"

    def displayName(self):  # noqa: N802
        return "Cell block"

    def shortHelpString(self):  # noqa: N802
        return ("A block of equal cells, laid out from a starting point (or covering an extent, or along a "
                "baseline of two points), turned by an angle, each cell labelled by its column and row, "
                "optionally clipped to polygons. The cells are made by the installed tavimo-export, with the "
                "same numbers as Tavimo's other files; its messages appear here.")

    def canExecute(self):  # noqa: N802
        if not self.exporter:
            return False, ("tavimo-export was not found: install Tavimo, or name the program in Processing's "
                           "options (Providers > Tavimo)")
        return True, ""

    def _add(self, parameter, advanced=False):
        if advanced:
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
        self.addParameter(parameter)

    def initAlgorithm(self, config=None):  # noqa: N802
        has = self.options.__contains__
        number = QgsProcessingParameterNumber
        self._add(QgsProcessingParameterPoint("START", "Starting point (default 10,10)", optional=True))
        if has("--extent"):
            self._add(QgsProcessingParameterExtent("EXTENT", "Cover this extent instead", optional=True))
        if has("--baseline"):
            self._add(QgsProcessingParameterPoint("BASELINE_START", "Baseline from (the starting point)",
                                                  optional=True))
            self._add(QgsProcessingParameterPoint("BASELINE_END", "Baseline toward (gives the direction)",
                                                  optional=True))
        self._add(number("CELL_WIDTH", "Cell width", number.Double, 5))
        self._add(number("CELL_HEIGHT", "Cell height", number.Double, 5))
        self._add(number("WIDTH_TOTAL", "Total width", number.Double, 50))
        self._add(number("HEIGHT_TOTAL", "Total height", number.Double, 50))
        if has("--columns"):
            self._add(number("COLUMNS", "Columns (instead of the total width)", number.Integer, None, True, 1))
        if has("--rows"):
            self._add(number("ROWS", "Rows (instead of the total height)", number.Integer, None, True, 1))
        self._add(number("ANGLE", "Angle in degrees", number.Double, 0, False, 0, 90))
        self._add(QgsProcessingParameterEnum("DIRECTION", "Direction", list(DIRECTIONS), defaultValue=0))
        if has("--labels"):
            self._add(QgsProcessingParameterString("LABELS", "Label template ({col}, {row}, {n})", DEFAULT_LABELS))
        if has("--first-column"):
            self._add(number("FIRST_COLUMN", "First column number", number.Integer, 1), True)
        if has("--first-row"):
            self._add(number("FIRST_ROW", "First row number", number.Integer, 1), True)
        if has("--corner"):
            self._add(QgsProcessingParameterEnum("CORNER", "Corner of column 1, row 1 (as at angle 0)",
                                                 list(CORNERS), defaultValue=0), True)
        if has("--order"):
            self._add(QgsProcessingParameterEnum("ORDER", "Order of {n}", list(ORDERS), defaultValue=0), True)
        if has("--label-centre"):
            self._add(QgsProcessingParameterBoolean("LABEL_CENTRE", "Label at the cell's centre", False), True)
        if has("--clip"):
            self._add(QgsProcessingParameterFeatureSource("CLIP", "Keep only the cells over these polygons",
                                                          [QgsProcessing.TypeVectorPolygon], optional=True))
            if has("--clip-mode"):
                self._add(QgsProcessingParameterEnum("CLIP_MODE", "Cells to keep", list(CLIP_MODES),
                                                     defaultValue=0))
        self._add(QgsProcessingParameterCrs("CRS", "Coordinate reference system of the block", "ProjectCrs",
                                            optional=True))
        if has("--strict"):
            self._add(QgsProcessingParameterBoolean("STRICT", "Refuse values that would be rounded", False), True)
        self._add(QgsProcessingParameterFeatureSink("OUTPUT", "Cells", QgsProcessing.TypeVectorPolygon))

    def _crs(self, parameters, context):
        crs = self.parameterAsCrs(parameters, "CRS", context)
        if crs.isValid():
            return crs
        for name, as_crs in (("START", self.parameterAsPointCrs), ("EXTENT", self.parameterAsExtentCrs),
                             ("BASELINE_START", self.parameterAsPointCrs)):
            if _given(parameters, name):
                crs = as_crs(parameters, name, context)
                if crs.isValid():
                    return crs
        return QgsCoordinateReferenceSystem()

    def _point(self, parameters, name, context, crs):
        point = self.parameterAsPoint(parameters, name, context, crs)
        return "{},{}".format(tx.number_text(point.x()), tx.number_text(point.y())), point

    def arguments(self, parameters, context, crs, clip):
        """tavimo-export's options for these parameters: only those that
        differ from its defaults or that it reads, so that the default block
        is the exporter's default block."""
        has = self.options.__contains__
        text = tx.number_text
        args = []
        values = {name: self.parameterAsDouble(parameters, name, context)
                  for name in ("CELL_WIDTH", "CELL_HEIGHT", "WIDTH_TOTAL", "HEIGHT_TOTAL", "ANGLE")}
        baseline = has("--baseline") and (_given(parameters, "BASELINE_START") or _given(parameters, "BASELINE_END"))
        if baseline and not (_given(parameters, "BASELINE_START") and _given(parameters, "BASELINE_END")):
            raise QgsProcessingException("A baseline needs both of its points")
        extent = has("--extent") and _given(parameters, "EXTENT")
        columns = has("--columns") and _given(parameters, "COLUMNS")
        rows = has("--rows") and _given(parameters, "ROWS")
        # The fields the chosen layout reads; --strict refuses the others.
        used = ["CELL_WIDTH", "CELL_HEIGHT"]
        if not extent:
            used += [] if columns else ["WIDTH_TOTAL"]
            used += [] if rows else ["HEIGHT_TOTAL"]
        if not baseline:
            used.append("ANGLE")
        if has("--decimals") and any(not values[name].is_integer() for name in used):
            args.append("--decimals")
        if extent:
            rect = self.parameterAsExtent(parameters, "EXTENT", context, crs)
            args.append("--extent=" + ",".join(text(v) for v in (rect.xMinimum(), rect.yMinimum(),
                                                                    rect.xMaximum(), rect.yMaximum())))
        if baseline:
            start, _ = self._point(parameters, "BASELINE_START", context, crs)
            end, _ = self._point(parameters, "BASELINE_END", context, crs)
            args.append("--baseline={},{}".format(start, end))
        elif not extent and _given(parameters, "START"):
            point = self.parameterAsPoint(parameters, "START", context, crs)
            args += ["--x=" + text(point.x()), "--y=" + text(point.y())]
        option = {"CELL_WIDTH": "--width-cell", "CELL_HEIGHT": "--height-cell", "WIDTH_TOTAL": "--width-total",
                  "HEIGHT_TOTAL": "--height-total", "ANGLE": "--angle"}
        args += ["{}={}".format(option[name], text(values[name])) for name in used]
        if columns:
            args.append("--columns={}".format(self.parameterAsInt(parameters, "COLUMNS", context)))
        if rows:
            args.append("--rows={}".format(self.parameterAsInt(parameters, "ROWS", context)))
        if not baseline and self.parameterAsEnum(parameters, "DIRECTION", context) == 1:
            args.append("--counter-clockwise")
        if has("--labels"):
            labels = self.parameterAsString(parameters, "LABELS", context)
            if labels and labels != DEFAULT_LABELS:
                args.append("--labels=" + labels)
        for name, flag in (("FIRST_COLUMN", "--first-column"), ("FIRST_ROW", "--first-row")):
            if has(flag) and self.parameterAsInt(parameters, name, context) != 1:
                args.append("{}={}".format(flag, self.parameterAsInt(parameters, name, context)))
        for name, flag, choices in (("CORNER", "--corner", CORNERS), ("ORDER", "--order", ORDERS)):
            if has(flag) and self.parameterAsEnum(parameters, name, context) != 0:
                args.append("{}={}".format(flag, choices[self.parameterAsEnum(parameters, name, context)]))
        if has("--label-centre") and self.parameterAsBool(parameters, "LABEL_CENTRE", context):
            args.append("--label-centre")
        if clip:
            args.append("--clip=" + clip)
            mode = self.parameterAsEnum(parameters, "CLIP_MODE", context) if has("--clip-mode") else 0
            if mode != 0:
                args.append("--clip-mode=" + CLIP_MODES[mode])
        if has("--srs") and crs.isValid():
            args.append("--srs=" + (crs.authid() if crs.authid().upper().startswith("EPSG:")
                                    else crs.toWkt(QgsCoordinateReferenceSystem.WKT_PREFERRED)))
        if has("--strict") and self.parameterAsBool(parameters, "STRICT", context):
            args.append("--strict")
        if has("--progress"):
            args.append("--progress")
        return args

    def _clip_file(self, parameters, context, folder):
        """The clip layer as a file the exporter reads: its own file when it
        is one, whole and unfiltered; else its features written to a
        GeoPackage in the run's folder."""
        if "--clip" not in self.options or not _given(parameters, "CLIP"):
            return None
        value = parameters["CLIP"]
        filtered = isinstance(value, QgsProcessingFeatureSourceDefinition) and (
            value.selectedFeaturesOnly or value.featureLimit != -1)
        layer = self.parameterAsVectorLayer(parameters, "CLIP", context)
        if layer is not None and not filtered and layer.providerType() == "ogr" and not layer.subsetString():
            parts = QgsProviderRegistry.instance().decodeUri("ogr", layer.source())
            path = os.path.abspath(parts.get("path") or "")
            if os.path.isfile(path) and not parts.get("layerId"):
                name = parts.get("layerName")
                return path + ":" + name if name else path
        source = self.parameterAsSource(parameters, "CLIP", context)
        if source is None:
            raise QgsProcessingException("The clip layer cannot be read")
        path = os.path.join(folder, "clip.gpkg")
        options = QgsVectorFileWriter.SaveVectorOptions()
        options.driverName = "GPKG"
        writer = QgsVectorFileWriter.create(path, QgsFields(), source.wkbType(), source.sourceCrs(),
                                            context.transformContext(), options)
        if writer.hasError():
            raise QgsProcessingException("The clip layer cannot be written: " + writer.errorMessage())
        request = QgsFeatureRequest().setNoAttributes()
        for feature in source.getFeatures(request):
            copy = QgsFeature()
            copy.setGeometry(feature.geometry())
            writer.addFeature(copy)
        del writer
        return path

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        ok, why = self.canExecute()
        if not ok:
            raise QgsProcessingException(why)
        extension = tx.gis_extension(self.exporter)
        if extension is None:
            raise QgsProcessingException("{} writes no GIS format (neither GeoPackage nor GeoJSON)"
                                         .format(self.exporter))
        crs = self._crs(parameters, context)
        folder = tempfile.mkdtemp(prefix="tavimo-")
        try:
            clip = self._clip_file(parameters, context, folder)
            path = os.path.join(folder, "cells" + extension)
            args = self.arguments(parameters, context, crs, clip) + [path]
            feedback.pushCommandInfo(" ".join([self.exporter] + args))
            outcome = tx.run_exporter(self.exporter, args,
                                      lambda percent: feedback.setProgress(percent * EXPORT_SHARE / 100),
                                      feedback.isCanceled)
            if outcome.cancelled:
                return {}
            if outcome.status != 0:
                raise QgsProcessingException("\n".join(outcome.messages) or
                                             "tavimo-export ended with status {}".format(outcome.status))
            for message in outcome.messages:
                feedback.pushWarning(message)
            return {"OUTPUT": self._copy_cells(path, extension, parameters, context, feedback, crs)}
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def _copy_cells(self, path, extension, parameters, context, feedback, crs):
        uri = path + "|layername=cells" if extension == ".gpkg" else path
        layer = QgsVectorLayer(uri, "cells", "ogr")
        if not layer.isValid():
            raise QgsProcessingException("The exporter's file cannot be read: " + path)
        # The GeoPackage's own feature id is not one of the cells' attributes.
        keep = [i for i, field in enumerate(layer.fields()) if field.name() != "fid"]
        fields = QgsFields()
        for i in keep:
            fields.append(layer.fields().at(i))
        sink, destination = self.parameterAsSink(parameters, "OUTPUT", context, fields,
                                                 QgsWkbTypes.Polygon, crs)
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, "OUTPUT"))
        total = max(layer.featureCount(), 1)
        for number, cell in enumerate(layer.getFeatures()):
            if feedback.isCanceled():
                break
            out = QgsFeature(fields)
            out.setGeometry(cell.geometry())
            attributes = cell.attributes()
            out.setAttributes([attributes[i] for i in keep])
            if not sink.addFeature(out, QgsFeatureSink.FastInsert):
                raise QgsProcessingException(self.writeFeatureError(sink, parameters, "OUTPUT"))
            if number % 1000 == 0:
                feedback.setProgress(EXPORT_SHARE + (100 - EXPORT_SHARE) * number / total)
        del layer
        return destination
