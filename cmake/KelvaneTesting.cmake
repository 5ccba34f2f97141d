# Helpers that add one GoogleTest program each and register its tests with ctest.
include(GoogleTest)

# kelvane_add_test(<name> <source>... [LIBS <lib>...] [LABELS <label>...]
#                  [PROPERTIES <property> <value>...])
# A plain test program linked with the plug-in's code; LABELS and PROPERTIES
# go to each of its tests.
function(kelvane_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE kelvane_core GTest::gmock GTest::gtest_main ${ARG_LIBS})
  set(properties ${ARG_PROPERTIES})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(properties)
    set(properties PROPERTIES ${properties})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
endfunction()

# kelvane_add_host_test(<name> <source>... [WITHHOLD <host function>...] [LIBS <lib>...]
#                       [LABELS <label>...])
# A test program that is itself a host stand-in: it is called Nimbrel.exe (in a
# folder of its own), exports the host functions, and so is found by the
# plug-in's real lookup by name. WITHHOLD makes it a host that lacks those
# (host/host_lacking.h, as --check makes its copies);
# LABELS go to each of its tests.
function(kelvane_add_host_test name)
  cmake_parse_arguments(ARG "" "" "WITHHOLD;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  kelvane_make_plugin_host(${name})
  if(ARG_WITHHOLD)
    # As --check does: the built program's exports of those names made unfindable.
    add_custom_command(TARGET ${name} POST_BUILD COMMAND nimbrel_withhold $<TARGET_FILE:${name}> ${ARG_WITHHOLD}
                       VERBATIM)
    add_dependencies(${name} nimbrel_withhold)
  endif()
  target_link_libraries(${name} PRIVATE kelvane_core GTest::gmock GTest::gtest_main ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE KELVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(properties)
  if(ARG_LABELS)
    set(properties PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
endfunction()
