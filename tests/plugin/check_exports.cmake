# Checks that the plug-in module exports exactly the names of its export list
# (plugin/module_exports.txt): the seven plain functions and the members of its
# classes. Anything else, a standard library instantiation or type information
# included, fails, and so does a name of the list that is missing.
#   cmake -DMODULE=<Kelvane.so|Kelvane.dll> -DEXPORTS=<module_exports.txt> -DTOOL=<nm|objdump> -DKIND=<elf|pe>
#         -P check_exports.cmake
file(STRINGS "${EXPORTS}" expected REGEX "^[A-Za-z_]")

if(KIND STREQUAL "pe")
  execute_process(COMMAND ${TOOL} -p ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${listing}")
  string(REGEX MATCHALL "\\[ *[0-9]+] [^ \n]+" entries "${table}")
  list(TRANSFORM entries REPLACE "^\\[ *[0-9]+] " "")
else()
  execute_process(COMMAND ${TOOL} -D --defined-only ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  string(REGEX MATCHALL "\n[0-9a-fA-F]+ [A-Za-z] [^ \n]+" entries "\n${listing}")
  list(TRANSFORM entries REPLACE "^\n[0-9a-fA-F]+ [A-Za-z] " "")
endif()
if(failed)
  message(FATAL_ERROR "${TOOL} failed on ${MODULE}")
endif()

list(REMOVE_DUPLICATES entries)
list(SORT entries)
list(SORT expected)
if(NOT entries STREQUAL expected)
  set(unexpected ${entries})
  list(REMOVE_ITEM unexpected ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${entries})
  list(JOIN unexpected "\n  " unexpected)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "${MODULE} exports what it should not:\n  ${unexpected}\nand lacks:\n  ${missing}")
endif()
list(LENGTH entries count)
message(STATUS "${MODULE} exports exactly its ${count} names")
