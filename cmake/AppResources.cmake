# vlk_add_app_resources(<target>)
# Rasterizes the drawings of res/ into the PNGs that res/resources.qrc lists and compiles them
# into <target> with rcc. The PNG names say what to draw and at what size:
#   icon_<id>_<size>[@2x].png   res/icon_<id>.svg at <size> x <size> pixels (doubled for @2x)
#   banner_<id>[@2x].png        res/banner_<id>.svg at the width and height the drawing declares
#                               (doubled for @2x)
# so the .qrc file is the one list of what the program ships.
function(vlk_add_app_resources target)
  set(res_dir ${PROJECT_SOURCE_DIR}/res)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/res)
  file(MAKE_DIRECTORY ${out_dir})
  # The copy sits beside the PNGs, so that its relative names find them; configuring it also
  # makes CMake run again when the list changes.
  configure_file(${res_dir}/resources.qrc ${out_dir}/resources.qrc COPYONLY)
  file(READ ${res_dir}/resources.qrc qrc_text)
  string(REGEX MATCHALL "<file>[^<]+</file>" entries "${qrc_text}")

  set(drawings "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^<file>([^<]+)</file>$" "\\1" png "${entry}")
    if(png MATCHES "^icon_([0-9]+)_([0-9]+)(@2x)?\\.png$")
      set(drawing icon_${CMAKE_MATCH_1})
      set(width ${CMAKE_MATCH_2})
      set(height ${CMAKE_MATCH_2})
      set(scaled "${CMAKE_MATCH_3}")
    elseif(png MATCHES "^banner_([0-9]+)(@2x)?\\.png$")
      set(drawing banner_${CMAKE_MATCH_1})
      set(scaled "${CMAKE_MATCH_2}")
      file(READ ${res_dir}/${drawing}.svg svg_text)
      if(NOT svg_text MATCHES "<svg[^>]* width=\"([0-9]+)\"[^>]* height=\"([0-9]+)\"")
        message(FATAL_ERROR "${drawing}.svg declares no width and height in whole pixels")
      endif()
      set(width ${CMAKE_MATCH_1})
      set(height ${CMAKE_MATCH_2})
    else()
      message(FATAL_ERROR "res/resources.qrc: '${png}' is not named icon_<id>_<size>[@2x].png "
                          "or banner_<id>[@2x].png")
    endif()
    if(NOT EXISTS ${res_dir}/${drawing}.svg)
      message(FATAL_ERROR "res/resources.qrc: '${png}' needs res/${drawing}.svg")
    endif()
    if(scaled)
      math(EXPR width "${width} * 2")
      math(EXPR height "${height} * 2")
    endif()
    list(APPEND drawings ${drawing})
    list(APPEND ${drawing}_args ${out_dir}/${png} ${width}x${height})
    list(APPEND ${drawing}_outputs ${out_dir}/${png})
  endforeach()
  list(REMOVE_DUPLICATES drawings)

  # One run of the rasterizer per drawing, for all of its sizes.
  foreach(drawing IN LISTS drawings)
    add_custom_command(
      OUTPUT ${${drawing}_outputs}
      COMMAND vlk-rasterize ${res_dir}/${drawing}.svg ${${drawing}_args}
      DEPENDS vlk-rasterize ${res_dir}/${drawing}.svg
      COMMENT "Rasterizing res/${drawing}.svg"
      VERBATIM)
  endforeach()

  qt_add_resources(rcc_sources ${out_dir}/resources.qrc)
  target_sources(${target} PRIVATE ${rcc_sources})
endfunction()
