# Unpacks the Windows release archive into a fresh folder whose name has
# accented and CJK letters and a blank, as a user's folders do; checks its
# files against its digest list; and from there runs the stand-in host on an
# example, without naming the plug-in, writing a report and the workspace to
# files with such names, then the conformance check of the plug-in.
#   cmake -DARCHIVE=<zip> -DFOLDER=<fresh folder> -DEXAMPLES=<examples/>
#         [-DEMULATOR=<program that runs the host>] -P archive_run.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/RequireVariables.cmake")
require_variables(ARCHIVE FOLDER EXAMPLES)

set(unpacked "${FOLDER}/zoë 日本 Kelvane")
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${unpacked}")
file(ARCHIVE_EXTRACT INPUT "${ARCHIVE}" DESTINATION "${unpacked}")

file(GLOB_RECURSE files RELATIVE "${unpacked}" "${unpacked}/*")
list(SORT files)
file(GLOB examples RELATIVE "${EXAMPLES}" "${EXAMPLES}/*.json")
list(TRANSFORM examples PREPEND "stand-in/examples/")
set(expected INSTALL.txt Kelvane/HelpFolder/index.html Kelvane/Kelvane.dll Kelvane/Kelvane.js SHA256SUMS.txt
             ${examples} stand-in/Nimbrel.exe stand-in/README.txt)
list(SORT expected)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the archive holds:\n  ${files}\nexpected:\n  ${expected}")
endif()

file(STRINGS "${unpacked}/SHA256SUMS.txt" sums)
list(LENGTH sums count)
list(LENGTH files others)
math(EXPR others "${others} - 1")
if(NOT count EQUAL others)
  message(FATAL_ERROR "SHA256SUMS.txt lists ${count} files, expected the other ${others}")
endif()
foreach(line IN LISTS sums)
  string(REGEX MATCH "^([0-9a-f]+)  (.+)$" matched "${line}")
  file(SHA256 "${unpacked}/${CMAKE_MATCH_2}" digest)
  if(NOT matched OR NOT digest STREQUAL CMAKE_MATCH_1)
    message(FATAL_ERROR "digest does not match: ${line}")
  endif()
endforeach()

foreach(module Kelvane/Kelvane.dll stand-in/Nimbrel.exe)
  file(STRINGS "${unpacked}/${module}" debug_sections REGEX "\\.debug_(info|line)")
  if(debug_sections)
    message(FATAL_ERROR "${module} still has its debug sections")
  endif()
endforeach()

# run(<output variable> <argument>...): the stand-in from the unpacked folder,
# which it must end with status 0.
function(run output_variable)
  execute_process(COMMAND ${EMULATOR} "${unpacked}/stand-in/Nimbrel.exe" ${ARGN} WORKING_DIRECTORY "${unpacked}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " arguments)
    message(FATAL_ERROR "Nimbrel.exe ${arguments} ended with ${status}:\n${output}")
  endif()
  set(${output_variable} "${output}" PARENT_SCOPE)
endfunction()

# The module as the stand-in printed it (drive letter and backslashes under Wine).
function(expect_plugin_path text)
  string(REPLACE "\\" "/" text "${text}")
  if(NOT text MATCHES "/zoë 日本 Kelvane/Kelvane/Kelvane\\.dll")
    message(FATAL_ERROR "the plug-in is not named as the one beside stand-in/:\n${text}")
  endif()
endfunction()

run(output stand-in/examples/default.json --report-json "rapport é.json" --save-workspace "espace 保存.json")
expect_plugin_path("${output}")
if(NOT output MATCHES "Kelvane>  Finished!")
  message(FATAL_ERROR "the plug-in from the archive did not finish its run:\n${output}")
endif()
file(READ "${unpacked}/rapport é.json" report)
string(JSON plugin GET "${report}" plugin)
expect_plugin_path("${plugin}")
file(READ "${unpacked}/espace 保存.json" saved)
string(JSON maps LENGTH "${saved}" maps)
if(NOT maps EQUAL 4)
  message(FATAL_ERROR "the saved workspace has ${maps} maps, expected the example's 4:\n${saved}")
endif()

run(output --check Kelvane/Kelvane.dll --report-json "chèck 検査.json")
if(NOT output MATCHES "Verdict: PASS")
  message(FATAL_ERROR "the plug-in from the archive did not pass --check:\n${output}")
endif()
file(READ "${unpacked}/chèck 検査.json" check)
string(JSON plugin GET "${check}" plugin)
expect_plugin_path("${plugin}")

file(REMOVE_RECURSE "${FOLDER}")
message(STATUS "unpacked from ${ARCHIVE} into \"${unpacked}\": the example and --check ran from there")
