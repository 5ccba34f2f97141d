# Options shared by every target of the project.
add_library(kelvane_options INTERFACE)

if(MSVC)
  # /fp:precise never contracts a*b+c unless asked to; keep it that way.
  target_compile_options(kelvane_options INTERFACE /W4 /fp:precise /utf-8 /Zc:preprocessor /EHsc)
else()
  # The statistics must match bit for bit: the order of operations is the one
  # written, so no fused multiply-add and no fast-math anywhere.
  target_compile_options(kelvane_options INTERFACE
    -Wall -Wextra -ffp-contract=off -fno-fast-math)
endif()
