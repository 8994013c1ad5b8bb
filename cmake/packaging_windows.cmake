# The Windows programs as one zip: both programs (each a single file that
# needs nothing installed), the README, the licence and the guide with
# every file it links, laid out as the README's links expect. `make
# windows` runs cpack on the cross build.
foreach(program tavimo tavimo-export)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
install(FILES ${TAVIMO_ROOT}/README.md ${TAVIMO_ROOT}/LICENSE DESTINATION .)
# The same licence under a name Windows opens with a double click.
install(FILES ${TAVIMO_ROOT}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${TAVIMO_ROOT}/docs/guide.md ${TAVIMO_ROOT}/docs/gis.md ${TAVIMO_ROOT}/docs/benchmarks.md
              ${TAVIMO_ROOT}/docs/screenshot.png ${TAVIMO_ROOT}/docs/numbering.svg
              ${TAVIMO_ROOT}/docs/baseline_grid.svg ${TAVIMO_ROOT}/docs/fishnet.svg
              ${TAVIMO_ROOT}/docs/qgis_clipped_grid.png
        DESTINATION docs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME windows-x86_64)
set(CPACK_PACKAGE_FILE_NAME tavimo-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_STRIP_FILES ON)
include(CPack)
