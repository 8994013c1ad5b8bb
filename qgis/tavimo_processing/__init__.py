"""Tavimo's QGIS plugin: a Processing provider that runs tavimo-export."""


def classFactory(iface):  # noqa: N802 (QGIS's name)
    from .plugin import TavimoPlugin
    return TavimoPlugin(iface)
