# Installs the build into a fresh prefix, checks the layout, and runs the
# installed stand-in host on an installed example without naming a plug-in:
# it must find the installed plug-in, and the dialog script beside it, alone.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<fresh folder> -DMODULE=<Kelvane.so|Kelvane.dll>
#         [-DEMULATOR=<program that runs the host>] -P install_and_run.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/RequireVariables.cmake")
require_variables(BUILD_DIR PREFIX MODULE)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

# The plug-in folder holds the module, its dialog script and its help page
# side by side, and nothing else.
set(folder "${PREFIX}/plugins/Kelvane")
file(GLOB_RECURSE installed RELATIVE "${folder}" "${folder}/*")
list(SORT installed)
set(expected HelpFolder/index.html Kelvane.js ${MODULE})
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "${folder} holds:\n  ${installed}\nexpected:\n  ${expected}")
endif()
foreach(file bin/Nimbrel.exe share/kelvane/examples/default.json share/kelvane/examples/dialog-defaults.json)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${PREFIX}/${file}")
  endif()
endforeach()

# The installed host, with nothing but a workspace that sets no parameter.
set(report "${PREFIX}/report.json")
execute_process(COMMAND ${EMULATOR} "${PREFIX}/bin/Nimbrel.exe" "${PREFIX}/share/kelvane/examples/dialog-defaults.json"
                        --quiet --report-json "${report}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the installed Nimbrel.exe ended with ${status}:\n${output}")
endif()
file(READ "${report}" json)

# Paths as the host printed them (a Windows host under an emulator writes
# drive letters and backslashes): compare their ends.
function(expect_path_ends key ending)
  string(JSON path GET "${json}" ${ARGN})
  string(REPLACE "\\" "/" path "${path}")
  string(LENGTH "${ending}" length)
  string(LENGTH "${path}" path_length)
  math(EXPR start "${path_length} - ${length}")
  if(start LESS 0)
    set(start 0)
  endif()
  string(SUBSTRING "${path}" ${start} -1 tail)
  if(NOT tail STREQUAL ending)
    message(FATAL_ERROR "${key} is ${path}, expected it to end with ${ending}")
  endif()
endfunction()
expect_path_ends(plugin "plugins/Kelvane/${MODULE}" plugin)
expect_path_ends(dialog "plugins/Kelvane/Kelvane.js" dialog script)

string(JSON defaults LENGTH "${json}" dialog defaultsUsed)
if(NOT defaults EQUAL 17)
  message(FATAL_ERROR "the installed dialog script gave ${defaults} defaults, expected all 17")
endif()
string(JSON executed GET "${json}" execute)
string(JSON lines LENGTH "${json}" log)
set(finished FALSE)
math(EXPR last "${lines} - 1")
foreach(i RANGE ${last})
  string(JSON line GET "${json}" log ${i})
  if(line STREQUAL "Kelvane>  Finished!")
    set(finished TRUE)
  endif()
endforeach()
if(NOT executed STREQUAL "ON" OR NOT finished)
  message(FATAL_ERROR "the installed plug-in did not finish its run:\n${json}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed into ${PREFIX}; the installed Nimbrel.exe ran the installed plug-in with its dialog's defaults")
