# Builds the template plug-in as an author does, from a copy outside our tree,
# as a project of its own; runs it in the stand-in host on its workspace; and
# checks it at strictness 3.
#   cmake -DTEMPLATE=<examples/template-plugin> -DFOLDER=<fresh folder> -DNIMBREL=<Nimbrel.exe>
#         -DMODULE_SUFFIX=<.so|.dll> [-DCOMPILER=<C++ compiler> | -DTOOLCHAIN=<the template's toolchain file>]
#         [-DEMULATOR=<program that runs Nimbrel.exe>] -P template_plugin_run.cmake
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/RequireVariables.cmake")
require_variables(TEMPLATE FOLDER NIMBREL MODULE_SUFFIX)

file(REMOVE_RECURSE "${FOLDER}")
file(COPY "${TEMPLATE}/" DESTINATION "${FOLDER}/source")

# run(<what> <command>...): the command must end with status 0. A step that
# takes over 90 s is stopped, so that what it printed until then is shown
# (the test's own limit would show nothing).
function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE output TIMEOUT 90)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} ended with ${status}:\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

if(TOOLCHAIN)
  set(options "-DCMAKE_TOOLCHAIN_FILE=${FOLDER}/source/${TOOLCHAIN}")
else()
  set(options "-DCMAKE_CXX_COMPILER=${COMPILER}")
endif()
run("configuring the template" "${CMAKE_COMMAND}" -S source -B build -G Ninja ${options})
run("building the template" "${CMAKE_COMMAND}" --build build)
set(module "build/TemplatePlugin/TemplatePlugin${MODULE_SUFFIX}")

run("running the template" ${EMULATOR} "${NIMBREL}" source/workspace.json --plugin "${module}" --quiet
    --report-json report.json)
file(READ "${FOLDER}/report.json" report)
string(JSON lines LENGTH "${report}" log)
math(EXPR last "${lines} - 1")
string(JSON last GET "${report}" log ${last})
if(NOT last STREQUAL "TemplatePlugin>  Set 3 of 3 maps.")
  message(FATAL_ERROR "the template's run did not end as meant:\n${report}")
endif()
# The workspace's Threshold and Show, the dialog's Overlay, on every map.
foreach(map RANGE 2)
  foreach(field_value thresholdMin=4.5 showPosNeg=1 overlay=1)
    string(REPLACE "=" ";" field_value "${field_value}")
    list(GET field_value 0 field)
    list(GET field_value 1 value)
    string(JSON got GET "${report}" mapsAfter ${map} ${field})
    if(NOT got EQUAL value)
      message(FATAL_ERROR "map index ${map} has ${field} ${got} after the run, expected ${value}")
    endif()
  endforeach()
endforeach()

run("checking the template" ${EMULATOR} "${NIMBREL}" --check "${module}" --strictness 3)
if(NOT output MATCHES "\nVerdict: PASS, ")
  message(FATAL_ERROR "the template did not pass the check at strictness 3:\n${output}")
endif()
file(REMOVE_RECURSE "${FOLDER}")
message(STATUS "the template built on its own, ran, and passed the check at strictness 3")
