# The QGIS plugin (qgis/tavimo_processing) as the zip that QGIS's plugin
# manager installs (Install from ZIP): the plugin's folder at the top of the
# zip. tavimo_qgis_plugin_zip([PROGRAM target]) also puts that program, stripped,
# beside the plugin's files, where the plugin looks first: the Windows zip's
# copy carries tavimo-export.exe, so that it works with nothing else installed.
set(TAVIMO_QGIS_PLUGIN tavimo_processing)
set(TAVIMO_QGIS_PLUGIN_DIR ${TAVIMO_ROOT}/qgis/${TAVIMO_QGIS_PLUGIN})
file(GLOB TAVIMO_QGIS_PLUGIN_FILES CONFIGURE_DEPENDS
  ${TAVIMO_QGIS_PLUGIN_DIR}/*.py ${TAVIMO_QGIS_PLUGIN_DIR}/*.txt ${TAVIMO_QGIS_PLUGIN_DIR}/*.svg)
set(TAVIMO_QGIS_PLUGIN_ZIP ${CMAKE_BINARY_DIR}/${TAVIMO_QGIS_PLUGIN}-${PROJECT_VERSION}.zip)

function(tavimo_qgis_plugin_zip)
  cmake_parse_arguments(arg "" "PROGRAM" "" ${ARGN})
  set(stage ${CMAKE_BINARY_DIR}/qgis-plugin)
  set(folder ${stage}/${TAVIMO_QGIS_PLUGIN})
  set(program_commands)
  set(depends ${TAVIMO_QGIS_PLUGIN_FILES})
  if(arg_PROGRAM)
    list(APPEND program_commands COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${arg_PROGRAM}> ${folder}/)
    if(CMAKE_STRIP)
      list(APPEND program_commands COMMAND ${CMAKE_STRIP} ${folder}/$<TARGET_FILE_NAME:${arg_PROGRAM}>)
    endif()
    list(APPEND depends ${arg_PROGRAM})
  endif()
  add_custom_command(OUTPUT ${TAVIMO_QGIS_PLUGIN_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${TAVIMO_QGIS_PLUGIN_ZIP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${TAVIMO_QGIS_PLUGIN_FILES} ${folder}/
    ${program_commands}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${TAVIMO_QGIS_PLUGIN_ZIP} --format=zip
      ${TAVIMO_QGIS_PLUGIN}
    DEPENDS ${depends} VERBATIM)
  add_custom_target(qgis_plugin_zip ALL DEPENDS ${TAVIMO_QGIS_PLUGIN_ZIP})
endfunction()
