# Unpacks the Windows release archive into a fresh folder, checks its files
# against its digest list, and runs the stand-in host on an example with the
# plug-in from that folder.
#   cmake -DARCHIVE=<zip> -DFOLDER=<fresh folder> -DHOST=<Nimbrel.exe> -DWORKSPACE=<json>
#         [-DEMULATOR=<program that runs the host>] -P archive_run.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/RequireVariables.cmake")
require_variables(ARCHIVE FOLDER HOST WORKSPACE)

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
file(ARCHIVE_EXTRACT INPUT "${ARCHIVE}" DESTINATION "${FOLDER}")

file(GLOB_RECURSE unpacked RELATIVE "${FOLDER}" "${FOLDER}/*")
list(SORT unpacked)
set(expected HelpFolder/index.html INSTALL.txt Kelvane.dll Kelvane.js SHA256SUMS.txt)
if(NOT unpacked STREQUAL expected)
  message(FATAL_ERROR "the archive holds:\n  ${unpacked}\nexpected:\n  ${expected}")
endif()

file(STRINGS "${FOLDER}/SHA256SUMS.txt" sums)
list(LENGTH sums count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "SHA256SUMS.txt lists ${count} files, expected the other 4")
endif()
foreach(line IN LISTS sums)
  string(REGEX MATCH "^([0-9a-f]+)  (.+)$" matched "${line}")
  file(SHA256 "${FOLDER}/${CMAKE_MATCH_2}" digest)
  if(NOT matched OR NOT digest STREQUAL CMAKE_MATCH_1)
    message(FATAL_ERROR "digest does not match: ${line}")
  endif()
endforeach()

execute_process(COMMAND ${EMULATOR} "${HOST}" --plugin "${FOLDER}/Kelvane.dll" "${WORKSPACE}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "Kelvane>  Finished!")
  message(FATAL_ERROR "the plug-in from the archive did not finish its run (status ${status}):\n${output}")
endif()
file(REMOVE_RECURSE "${FOLDER}")
message(STATUS "the plug-in unpacked from ${ARCHIVE} ran to the end")
