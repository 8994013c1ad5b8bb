# tavimo_add_test(): the one way a test is registered.
#
#   tavimo_add_test(<name> SOURCES <file>... [LIBRARIES <lib>...] [DEFINITIONS <def>...] [QT]
#                   [LABELS <label>...] [ENVIRONMENT <var=value>...] [TIMEOUT <s>])
#     builds the test program <name> (test_<folder>[_<topic>], its sources
#     <topic>_test.cpp in tests/<folder>/). A GoogleTest program has each
#     case registered as "<name>.<Suite>.<Case>" (label "unit" unless told);
#     a QtTest program (QT) runs as the one test <name>, offscreen (label
#     "gui" unless told).
#   tavimo_add_test(<name> COMMAND <command> <arg>... LABELS <label>... [ENVIRONMENT ...] [TIMEOUT <s>])
#     runs a command: a script, or a test program of the above with other
#     arguments or environment.
#
# `make quick` runs the tests labelled "unit" of the normal build.
include(GoogleTest)

function(tavimo_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "TIMEOUT;SKIP_RETURN_CODE"
    "SOURCES;LIBRARIES;DEFINITIONS;LABELS;ENVIRONMENT;COMMAND;RESOURCE_LOCK")
  set(properties)
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()
  if(arg_SKIP_RETURN_CODE)
    list(APPEND properties SKIP_RETURN_CODE ${arg_SKIP_RETURN_CODE})
  endif()
  if(arg_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${arg_RESOURCE_LOCK}")
  endif()

  if(arg_COMMAND)
    if(NOT arg_LABELS)
      message(FATAL_ERROR "tavimo_add_test(${name} COMMAND ...) needs LABELS")
    endif()
    add_test(NAME ${name} COMMAND ${arg_COMMAND})
    set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}" ${properties})
    if(arg_ENVIRONMENT)
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
    endif()
    return()
  endif()

  add_executable(${name} ${arg_SOURCES})
  target_include_directories(${name} PRIVATE ${TAVIMO_ROOT})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()

  if(arg_QT)
    if(NOT arg_LABELS)
      set(arg_LABELS gui)
    endif()
    target_link_libraries(${name} PRIVATE Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}"
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${arg_ENVIRONMENT}" ${properties})
    if(NOT arg_TIMEOUT)
      set_tests_properties(${name} PROPERTIES TIMEOUT 120)
    endif()
  else()
    if(NOT arg_LABELS)
      set(arg_LABELS unit)
    endif()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    if(arg_ENVIRONMENT)
      list(APPEND properties ENVIRONMENT "${arg_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS "${arg_LABELS}" ${properties})
  endif()
endfunction()
