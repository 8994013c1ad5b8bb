# The Windows programs as one zip: both programs (each a single file that
# needs nothing installed), the README and the licence. `make windows`
# runs cpack on the cross build.
foreach(program tavimo tavimo-export)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
install(FILES ${TAVIMO_ROOT}/README.md ${TAVIMO_ROOT}/docs/guide.md DESTINATION .)
install(FILES ${TAVIMO_ROOT}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME windows-x86_64)
set(CPACK_PACKAGE_FILE_NAME tavimo-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_STRIP_FILES ON)
include(CPack)
