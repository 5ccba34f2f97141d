# Builds the release archive of the plug-in: the module, its dialog script, its
# help page (as the build wrote it), an install text and the SHA-256 digest of
# each of them.
#   cmake -DMODULE=<Kelvane.dll> -DPACKAGE_DIR=<package/> -DHELP_PAGE=<index.html>
#         -DVERSION=<x.y> -DARCHIVE=<out.zip> -P make_archive.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/RequireVariables.cmake")
require_variables(MODULE PACKAGE_DIR HELP_PAGE VERSION ARCHIVE)

set(stage "${ARCHIVE}.stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/HelpFolder")
file(COPY "${MODULE}" "${PACKAGE_DIR}/Kelvane.js" DESTINATION "${stage}")
file(COPY "${HELP_PAGE}" DESTINATION "${stage}/HelpFolder")
set(KELVANE_VERSION "${VERSION}")
configure_file("${PACKAGE_DIR}/INSTALL.txt" "${stage}/INSTALL.txt" @ONLY NEWLINE_STYLE CRLF)

get_filename_component(module_name "${MODULE}" NAME)
set(files ${module_name} Kelvane.js HelpFolder/index.html INSTALL.txt)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 "${stage}/${file}" digest)
  string(APPEND sums "${digest}  ${file}\n")
endforeach()
file(WRITE "${stage}/SHA256SUMS.txt" "${sums}")

file(REMOVE "${ARCHIVE}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ARCHIVE}" --format=zip ${files} SHA256SUMS.txt
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${ARCHIVE}")
endif()
file(REMOVE_RECURSE "${stage}")
