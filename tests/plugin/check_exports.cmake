# Checks that the plug-in module exports exactly what the host may look up: the
# seven plain functions and the members of its classes with their dispatch
# tables. Anything else, a standard library instantiation or type information
# included, fails.
#   cmake -DMODULE=<Kelvane.so|Kelvane.dll> -DTOOL=<nm|objdump> -DKIND=<elf|pe> -P check_exports.cmake
set(expected
  createPlugin getAuthor getGUIScript getHelpFile getPluginDescription getPluginName getPluginVersion
  # NMBLPluginInterface: constructors, copy assignment, destructor, dispatch table
  _ZN19NMBLPluginInterfaceC1Ev _ZN19NMBLPluginInterfaceC2Ev
  _ZN19NMBLPluginInterfaceC1ERKS_ _ZN19NMBLPluginInterfaceC2ERKS_
  _ZN19NMBLPluginInterfaceaSERKS_
  _ZN19NMBLPluginInterfaceD1Ev _ZN19NMBLPluginInterfaceD2Ev
  _ZTV19NMBLPluginInterface
  # static_intf::NMBLPluginInterface: the same
  _ZN11static_intf19NMBLPluginInterfaceC1Ev _ZN11static_intf19NMBLPluginInterfaceC2Ev
  _ZN11static_intf19NMBLPluginInterfaceC1ERKS0_ _ZN11static_intf19NMBLPluginInterfaceC2ERKS0_
  _ZN11static_intf19NMBLPluginInterfaceaSERKS0_
  _ZN11static_intf19NMBLPluginInterfaceD1Ev _ZN11static_intf19NMBLPluginInterfaceD2Ev
  _ZTVN11static_intf19NMBLPluginInterfaceE
  # Kelvane: constructor, destructor, the three slots, dispatch table
  _ZN7KelvaneC1Ev _ZN7KelvaneC2Ev
  _ZN7KelvaneD1Ev _ZN7KelvaneD2Ev
  _ZN7Kelvane7destroyEj _ZN7Kelvane7executeEv _ZN7Kelvane10initPluginEv
  _ZTV7Kelvane)

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
