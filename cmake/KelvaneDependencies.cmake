# Third-party code, all from Debian's packages. A native build uses the
# installed packages as they are. A cross build (Windows) cannot link Debian's
# Linux libraries: GoogleTest is built from the sources Debian ships, and the
# header-only libraries are reached through a folder of their own so that the
# host system's /usr/include never mixes with the target's headers.

function(kelvane_header_only_library target)
  cmake_parse_arguments(ARG "" "" "HEADERS" ${ARGN})
  if(TARGET ${target})
    return()
  endif()
  set(staged ${CMAKE_BINARY_DIR}/third_party/include)
  foreach(header IN LISTS ARG_HEADERS)
    if(NOT EXISTS /usr/include/${header})
      message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps.sh")
    endif()
    if(NOT EXISTS ${staged}/${header})
      file(MAKE_DIRECTORY ${staged})
      file(CREATE_LINK /usr/include/${header} ${staged}/${header} SYMBOLIC)
    endif()
  endforeach()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${staged}
                                             INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()

if(CMAKE_CROSSCOMPILING)
  kelvane_header_only_library(nlohmann_json::nlohmann_json HEADERS nlohmann)
  kelvane_header_only_library(CLI11::CLI11 HEADERS CLI)
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 2 REQUIRED)
endif()

if(KELVANE_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(library gtest gtest_main gmock gmock_main)
      if(NOT TARGET GTest::${library})
        add_library(GTest::${library} ALIAS ${library})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
