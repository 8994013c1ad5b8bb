# The Windows programs as one zip: both programs (each a single file that
# needs nothing installed), the README, the licence and the guide with
# every file it links, laid out as the README's links expect. `make
# windows` runs cpack on the cross build.
foreach(program tavimo tavimo-export)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
# The README for Windows users (the repository's is for developers).
install(FILES ${TAVIMO_ROOT}/README_windows.md DESTINATION . RENAME README.md)
install(FILES ${TAVIMO_ROOT}/LICENSE DESTINATION .)
# The same licence under a name Windows opens with a double click.
install(FILES ${TAVIMO_ROOT}/LICENSE DESTINATION . RENAME LICENSE.txt)
# The documents with their command lines in cmd's syntax: tavimo-export.exe,
# a line continued with ^ instead of \, --help instead of the man page.
set(windows_docs ${CMAKE_BINARY_DIR}/windows-docs)
foreach(document guide.md gis.md)
  set(source ${TAVIMO_ROOT}/docs/${document})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REGEX REPLACE "\n(    +)tavimo-export " "\n\\1tavimo-export.exe " text "${text}")
  string(REGEX REPLACE " \\\\\n" " ^\n" text "${text}")
  string(REPLACE "`man tavimo-export`" "`tavimo-export.exe --help`" text "${text}")
  file(WRITE ${windows_docs}/${document} "${text}")
endforeach()
install(FILES ${windows_docs}/guide.md ${windows_docs}/gis.md ${TAVIMO_ROOT}/docs/benchmarks.md
              ${TAVIMO_ROOT}/docs/screenshot.png ${TAVIMO_ROOT}/docs/numbering.svg
              ${TAVIMO_ROOT}/docs/baseline_grid.svg ${TAVIMO_ROOT}/docs/fishnet.svg
              ${TAVIMO_ROOT}/docs/qgis_dialog.png ${TAVIMO_ROOT}/docs/qgis_cell_block.png
              ${TAVIMO_ROOT}/docs/qgis_clipped_grid.png
        DESTINATION docs)

# The QGIS plugin's zip, with tavimo-export.exe inside beside the plugin.
include(${TAVIMO_ROOT}/cmake/qgis_plugin.cmake)
if(TARGET tavimo-export)
  tavimo_qgis_plugin_zip(PROGRAM tavimo-export)
  install(FILES ${TAVIMO_QGIS_PLUGIN_ZIP} DESTINATION .)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME windows-x86_64)
set(CPACK_PACKAGE_FILE_NAME tavimo-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_STRIP_FILES ON)
include(CPack)
