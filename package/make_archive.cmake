# Builds the Windows release archive:
#   Kelvane/    the plug-in's folder as it goes into the host: the module, its
#               dialog script and its help page (as the build wrote it)
#   stand-in/   our stand-in host Nimbrel.exe, the example workspaces and a
#               text on trying the plug-in and on --check
#   INSTALL.txt, and SHA256SUMS.txt with the SHA-256 digest of every other file.
# The modules go in without their debug sections; their debug information goes
# into a second archive beside the first, <archive name>-debug.zip.
#   cmake -DMODULE=<Kelvane.dll> -DHOST=<Nimbrel.exe> -DPACKAGE_DIR=<package/>
#         -DHELP_PAGE=<index.html> -DEXAMPLES=<examples/> -DOBJCOPY=<objcopy>
#         -DVERSION=<x.y> -DARCHIVE=<out.zip> -P make_archive.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/RequireVariables.cmake")
require_variables(MODULE HOST PACKAGE_DIR HELP_PAGE EXAMPLES OBJCOPY VERSION ARCHIVE)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "failed (${failed}): ${ARGN}\n${output}")
  endif()
endfunction()

# zip(<archive> <folder> <file>...): the files, named relative to the folder.
function(zip archive folder)
  file(REMOVE "${archive}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${archive}" --format=zip ${ARGN}
                  WORKING_DIRECTORY "${folder}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not write ${archive}")
  endif()
endfunction()

set(stage "${ARCHIVE}.stage")
set(debug_stage "${ARCHIVE}.debug-stage")
file(REMOVE_RECURSE "${stage}" "${debug_stage}")
file(MAKE_DIRECTORY "${stage}/Kelvane/HelpFolder" "${stage}/stand-in/examples" "${debug_stage}")

# strip_into(<module> <folder>): the module without its debug sections into the
# folder of the archive, linked by name and checksum to its debug information.
set(debug_files "")
function(strip_into module folder)
  get_filename_component(name "${module}" NAME)
  run("${OBJCOPY}" --only-keep-debug "${module}" "${debug_stage}/${name}.debug")
  run("${OBJCOPY}" --strip-all "--add-gnu-debuglink=${debug_stage}/${name}.debug" "${module}"
      "${stage}/${folder}/${name}")
  set(debug_files ${debug_files} "${name}.debug" PARENT_SCOPE)
endfunction()
strip_into("${MODULE}" Kelvane)
strip_into("${HOST}" stand-in)

file(COPY "${PACKAGE_DIR}/Kelvane.js" DESTINATION "${stage}/Kelvane")
file(COPY "${HELP_PAGE}" DESTINATION "${stage}/Kelvane/HelpFolder")
file(GLOB examples RELATIVE "${EXAMPLES}" "${EXAMPLES}/*.json")
list(SORT examples)
foreach(example IN LISTS examples)
  file(COPY "${EXAMPLES}/${example}" DESTINATION "${stage}/stand-in/examples")
endforeach()
set(KELVANE_VERSION "${VERSION}")
configure_file("${PACKAGE_DIR}/INSTALL.txt" "${stage}/INSTALL.txt" @ONLY NEWLINE_STYLE CRLF)
configure_file("${PACKAGE_DIR}/stand-in/README.txt" "${stage}/stand-in/README.txt" @ONLY NEWLINE_STYLE CRLF)

get_filename_component(module_name "${MODULE}" NAME)
get_filename_component(host_name "${HOST}" NAME)
list(TRANSFORM examples PREPEND "stand-in/examples/")
set(files Kelvane/${module_name} Kelvane/Kelvane.js Kelvane/HelpFolder/index.html stand-in/${host_name}
          stand-in/README.txt ${examples} INSTALL.txt)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 "${stage}/${file}" digest)
  string(APPEND sums "${digest}  ${file}\n")
endforeach()
file(WRITE "${stage}/SHA256SUMS.txt" "${sums}")

zip("${ARCHIVE}" "${stage}" ${files} SHA256SUMS.txt)
string(REGEX REPLACE "\\.zip$" "-debug.zip" debug_archive "${ARCHIVE}")
zip("${debug_archive}" "${debug_stage}" ${debug_files})
file(REMOVE_RECURSE "${stage}" "${debug_stage}")
