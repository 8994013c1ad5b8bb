"""Registers the Tavimo provider with QGIS's Processing framework."""
from qgis.core import QgsApplication

from .provider import TavimoProvider


class TavimoPlugin:
    def __init__(self, iface=None):
        self.iface = iface
        self.provider = None

    def initProcessing(self):  # noqa: N802 (QGIS calls it, also from qgis_process)
        if self.provider is not None:
            return  # QGIS calls both initProcessing and initGui
        self.provider = TavimoProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
