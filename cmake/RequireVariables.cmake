# require_variables(<name>...): stops a cmake -P script whose caller left one
# of these variables unset or empty, naming it.
function(require_variables)
  foreach(variable IN LISTS ARGN)
    if(NOT ${variable})
      message(FATAL_ERROR "${variable} is not set")
    endif()
  endforeach()
endfunction()
