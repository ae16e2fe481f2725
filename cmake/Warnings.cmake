# Warnings for every target of ours, through one INTERFACE target.
add_library(vlk_warnings INTERFACE)
target_compile_options(vlk_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Woverloaded-virtual -Wsuggest-override)
if(VLK_WERROR)
  target_compile_options(vlk_warnings INTERFACE -Werror)
endif()
