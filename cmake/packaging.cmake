# Installing Tavimo and packing it as a Debian package: both programs, the
# desktop entry with its icons and AppStream data, the man pages, the bash
# completion, the licence, the README and the documents of docs/. `make
# package` runs cpack on a build of its own; the package's dependencies come
# from dpkg-shlibdeps.

include(GNUInstallDirs)

set(TAVIMO_APP_ID org.example.tavimo)
set(TAVIMO_DATA_DIR ${TAVIMO_ROOT}/data)
set(TAVIMO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tavimo)

if(TARGET tavimo)
  install(TARGETS tavimo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAVIMO_DATA_DIR}/${TAVIMO_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TAVIMO_DATA_DIR}/${TAVIMO_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${TAVIMO_DATA_DIR}/icons/tavimo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TAVIMO_APP_ID}.svg)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${TAVIMO_DATA_DIR}/icons/tavimo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TAVIMO_APP_ID}.png)
  endforeach()
  install(FILES ${TAVIMO_DATA_DIR}/man/tavimo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET tavimo-export)
  install(TARGETS tavimo-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAVIMO_DATA_DIR}/man/tavimo-export.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${TAVIMO_DATA_DIR}/bash-completion/tavimo-export
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

# Debian keeps a package's licence as doc/<package>/copyright. The README
# and docs/ keep the repository's layout, so that their links work where
# they are installed; the README links the licence as LICENSE.
install(FILES ${TAVIMO_ROOT}/LICENSE DESTINATION ${TAVIMO_DOC_DIR} RENAME copyright)
install(FILES ${TAVIMO_ROOT}/README.md ${TAVIMO_ROOT}/LICENSE DESTINATION ${TAVIMO_DOC_DIR})
install(FILES ${TAVIMO_ROOT}/docs/guide.md ${TAVIMO_ROOT}/docs/gis.md ${TAVIMO_ROOT}/docs/benchmarks.md
              ${TAVIMO_ROOT}/docs/screenshot.png ${TAVIMO_ROOT}/docs/numbering.svg
              ${TAVIMO_ROOT}/docs/baseline_grid.svg ${TAVIMO_ROOT}/docs/fishnet.svg
              ${TAVIMO_ROOT}/docs/qgis_dialog.png ${TAVIMO_ROOT}/docs/qgis_cell_block.png
              ${TAVIMO_ROOT}/docs/qgis_clipped_grid.png
        DESTINATION ${TAVIMO_DOC_DIR}/docs)

# The QGIS plugin, where QGIS looks for plugins installed with the system
# (/usr/share/qgis/python/plugins), and as the zip for QGIS's plugin manager
# (`make package` copies it beside the package).
include(${TAVIMO_ROOT}/cmake/qgis_plugin.cmake)
install(FILES ${TAVIMO_QGIS_PLUGIN_FILES}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/qgis/python/plugins/${TAVIMO_QGIS_PLUGIN})
tavimo_qgis_plugin_zip()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tavimo authors")
set(CPACK_PACKAGE_CONTACT "The Tavimo authors <tavimo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turned, numbered grids of cells for CAD and GIS")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavimo makes a cell block: a rectangular block of equal cells, laid out from a starting point, turned by a whole number of degrees clockwise or counter-clockwise, with every cell numbered by its column and row. It previews the block in a small dialog and saves it as an AutoCAD DXF drawing, as a CHT file with its RWS companion, or for GIS programs as a GeoPackage, GeoJSON file or Shapefile with one polygon per cell. The tavimo-export command writes the same files from scripts, and a QGIS plugin puts the same blocks in QGIS's Processing Toolbox.")
set(CPACK_RESOURCE_FILE_LICENSE ${TAVIMO_ROOT}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tavimo.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugins at run time, so no library names them:
# the X11 one is needed, the Wayland one lets the dialog run natively there.
# bash-completion loads tavimo-export's completion.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, bash-completion")
# The QGIS plugin runs in QGIS.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis, python3-qgis")
# The arm64 package (`make package-arm64`): tavimo-export alone, its C++
# runtime linked in (cmake/aarch64-linux-gnu.cmake), so the C library is its
# one dependency; dpkg-shlibdeps cannot read the cross libraries.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
endif()
include(CPack)
