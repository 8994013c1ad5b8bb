"""The Processing provider "Tavimo": finds tavimo-export and asks it once
what it supports, so that the algorithm offers only that."""
import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from . import exporter as tx
from .cell_block_algorithm import CellBlockAlgorithm

SETTING = "TAVIMO_EXPORTER"

try:  # Processing's settings, where the Processing plugin is loaded (QGIS, qgis_process)
    from processing.core.ProcessingConfig import ProcessingConfig, Setting
except ImportError:
    ProcessingConfig = None


class TavimoProvider(QgsProcessingProvider):
    def id(self):
        return "tavimo"

    def name(self):
        return "Tavimo"

    def icon(self):
        return QIcon(os.path.join(os.path.dirname(__file__), "icon.svg"))

    def load(self):
        if ProcessingConfig is not None:
            ProcessingConfig.settingIcons[self.name()] = self.icon()
            ProcessingConfig.addSetting(Setting(self.name(), SETTING, "tavimo-export program (empty: beside the "
                                                "plugin, else on PATH)", "", valuetype=Setting.FILE))
            ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        if ProcessingConfig is not None:
            ProcessingConfig.removeSetting(SETTING)

    def exporter(self):
        setting = ProcessingConfig.getSetting(SETTING) if ProcessingConfig is not None else ""
        return tx.find_exporter(setting or "")

    def loadAlgorithms(self):  # noqa: N802
        program = self.exporter()
        options = tx.supported_options(program) if program else frozenset()
        self.addAlgorithm(CellBlockAlgorithm(program, options))
