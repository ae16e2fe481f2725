# Sanitizer builds apply to everything compiled and linked in the tree.
if(VLK_SANITIZE STREQUAL "address-undefined")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VLK_SANITIZED=1)
elseif(VLK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(VLK_SANITIZED=1)
elseif(NOT VLK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VLK_SANITIZE must be empty, address-undefined or thread")
endif()

# vlk_add_sanitizer_options(<executable>): the sanitizer options every executable carries.
function(vlk_add_sanitizer_options target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/sanitizer_options.cpp)
endfunction()
