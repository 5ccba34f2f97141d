# Options shared by every target of the project.
add_library(kelvane_options INTERFACE)

if(MSVC)
  # /fp:precise never contracts a*b+c unless asked to; keep it that way.
  target_compile_options(kelvane_options INTERFACE /W4 /fp:precise /utf-8 /Zc:preprocessor /EHsc)
else()
  # The statistics must match bit for bit: the order of operations is the one
  # written, so no fused multiply-add and no fast-math anywhere.
  target_compile_options(kelvane_options INTERFACE
    -Wall -Wextra -ffp-contract=off -fno-fast-math)
endif()

# Sanitizers for every target of the tree: the plug-in module, the stand-in
# host and the tests alike (the asan and fuzz presets). The first finding ends
# the program.
set(KELVANE_SANITIZERS "" CACHE STRING "Sanitizers for every target, as for -fsanitize= (address,undefined)")
if(KELVANE_SANITIZERS)
  if(MSVC)
    message(FATAL_ERROR "KELVANE_SANITIZERS is for GCC and Clang")
  endif()
  add_compile_options(-fsanitize=${KELVANE_SANITIZERS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -fno-optimize-sibling-calls
                      # Bounds checks in the standard containers too.
                      -D_GLIBCXX_ASSERTIONS)
  add_link_options(-fsanitize=${KELVANE_SANITIZERS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis misreads the instrumented code (std::regex, std::function):
    # false "may be used uninitialized" warnings that the plain builds do not give.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

# libFuzzer (Clang only): coverage for every target; the fuzz targets link the
# fuzzer's driver (tests/fuzz).
option(KELVANE_BUILD_FUZZERS "Build the fuzz targets with libFuzzer (Clang)" OFF)
if(KELVANE_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KELVANE_BUILD_FUZZERS needs Clang (the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
