# Helpers that add one GoogleTest program each and register its tests with ctest.
find_package(GTest REQUIRED)
include(GoogleTest)

# kelvane_add_test(<name> <source>... [LIBS <lib>...])
# A plain test program linked with the plug-in's code.
function(kelvane_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE kelvane_core GTest::gmock GTest::gtest_main ${ARG_LIBS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
