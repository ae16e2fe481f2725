# Sanitizer builds apply to everything compiled and linked in the tree.
#
# A fuzzing build (VLK_FUZZ) is an address-undefined build whose code also carries libFuzzer's
# coverage instrumentation (-fsanitize=fuzzer-no-link); only the fuzz targets of tests/fuzz link
# libFuzzer itself. libFuzzer comes with clang only.
set(vlk_sanitize "${VLK_SANITIZE}")
if(VLK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR
      "VLK_FUZZ needs clang (libFuzzer), but the C++ compiler is ${CMAKE_CXX_COMPILER_ID}: "
      "configure a new build folder with CC=clang-14 CXX=clang++-14 "
      "(Debian packages clang-14 and libclang-rt-14-dev).")
  endif()
  if(NOT vlk_sanitize MATCHES "^(|address-undefined)$")
    message(FATAL_ERROR "VLK_FUZZ builds with address-undefined; it cannot be combined with "
                        "VLK_SANITIZE=${VLK_SANITIZE}")
  endif()
  set(vlk_sanitize address-undefined)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(vlk_sanitize STREQUAL "address-undefined")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VLK_SANITIZED=1)
elseif(vlk_sanitize STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(VLK_SANITIZED=1)
elseif(NOT vlk_sanitize STREQUAL "")
  message(FATAL_ERROR "VLK_SANITIZE must be empty, address-undefined or thread")
endif()

# vlk_add_sanitizer_options(<executable>): the sanitizer options every executable carries.
function(vlk_add_sanitizer_options target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/sanitizer_options.cpp)
endfunction()
