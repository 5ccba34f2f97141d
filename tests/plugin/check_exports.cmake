# Checks that the plug-in module exports exactly the seven plain functions the
# host looks up (everything else it exports is a member of its classes).
#   cmake -DMODULE=<Kelvane.so|Kelvane.dll> -DTOOL=<nm|objdump> -DKIND=<elf|pe> -P check_exports.cmake
set(expected createPlugin getAuthor getGUIScript getHelpFile getPluginDescription getPluginName getPluginVersion)

if(KIND STREQUAL "pe")
  execute_process(COMMAND ${TOOL} -p ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${listing}")
  string(REGEX MATCHALL "\\[ *[0-9]+] [A-Za-z_][A-Za-z0-9_@?$]*" entries "${table}")
  list(TRANSFORM entries REPLACE "^\\[ *[0-9]+] " "")
else()
  execute_process(COMMAND ${TOOL} -D --defined-only ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  string(REGEX MATCHALL " [TtWw] [A-Za-z_][A-Za-z0-9_@?$]*" entries "${listing}")
  list(TRANSFORM entries REPLACE "^ [TtWw] " "")
endif()
if(failed)
  message(FATAL_ERROR "${TOOL} failed on ${MODULE}")
endif()

set(plain "")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^_Z")  # C++ members are exported too, under their decorated names
    list(APPEND plain ${entry})
  endif()
endforeach()
list(SORT plain)
if(NOT plain STREQUAL expected)
  message(FATAL_ERROR "plain exports of ${MODULE}:\n  ${plain}\nexpected:\n  ${expected}")
endif()
message(STATUS "${MODULE} exports the seven plain functions: ${plain}")
