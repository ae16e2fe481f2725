# What `cmake --install BUILD --prefix P` lays out (the Debian package is the same with P = /usr):
#   P/bin/vlk-tscap
#   P/share/vlk-tscap/                  the data folder: Transponders/, CityList.txt and its
#                                       attribution, LinuxTuners.ini, Vantor-recorder.chm, help/
#   P/share/applications/<id>.desktop
#   P/share/metainfo/<id>.metainfo.xml
#   P/share/icons/hicolor/<N>x<N>/apps/<id>.png, .../scalable/apps/<id>.svg
#   P/share/man/man1/vlk-tscap.1
#   P/share/bash-completion/completions/vlk-tscap
# The folders are written out rather than taken from GNUInstallDirs: the program finds its data
# as ../share/vlk-tscap from its own folder (platform::DataFolder()), so bin and share must stay
# siblings whatever the cache says. Every destination is relative, so that the prefix and DESTDIR
# alone decide where things go. Tests, benchmarks and the build's tools are not installed.

# The desktop's name for the program: desktop entry, icons, metainfo and the Wayland app id.
set(VLK_APP_ID io.github.vlk_tscap.VlkTscap)
set(VLK_DATA_INSTALL_DIR share/vlk-tscap)
set(VLK_ICON_SIZES 16 32 48 64 128 256)
target_compile_definitions(vlk-tscap PRIVATE VLK_APP_ID="${VLK_APP_ID}")

set(vlk_desktop_dir ${CMAKE_BINARY_DIR}/desktop)
configure_file(${PROJECT_SOURCE_DIR}/res/linux/vlk-tscap.desktop.in
  ${vlk_desktop_dir}/${VLK_APP_ID}.desktop @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/linux/vlk-tscap.metainfo.xml.in
  ${vlk_desktop_dir}/${VLK_APP_ID}.metainfo.xml @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/man/vlk-tscap.1.in ${vlk_desktop_dir}/vlk-tscap.1 @ONLY)

# The theme's fixed sizes, drawn from the same SVG as the window icon; one rasterizer run.
set(vlk_icon_args "")
set(vlk_icon_outputs "")
foreach(size IN LISTS VLK_ICON_SIZES)
  set(png ${vlk_desktop_dir}/icons/${size}x${size}/${VLK_APP_ID}.png)
  file(MAKE_DIRECTORY ${vlk_desktop_dir}/icons/${size}x${size})
  list(APPEND vlk_icon_args ${png} ${size}x${size})
  list(APPEND vlk_icon_outputs ${png})
endforeach()
add_custom_command(
  OUTPUT ${vlk_icon_outputs}
  COMMAND vlk-rasterize ${PROJECT_SOURCE_DIR}/res/icon_128.svg ${vlk_icon_args}
  DEPENDS vlk-rasterize ${PROJECT_SOURCE_DIR}/res/icon_128.svg
  COMMENT "Rasterizing the desktop icons"
  VERBATIM)
add_custom_target(vlk_desktop_icons ALL DEPENDS ${vlk_icon_outputs})

install(TARGETS vlk-tscap RUNTIME DESTINATION bin)

# The data folder, as the build fills the program folder.
install(DIRECTORY ${VLK_PROGRAM_DIR}/Transponders ${VLK_PROGRAM_DIR}/help
  DESTINATION ${VLK_DATA_INSTALL_DIR})
install(FILES
  ${VLK_PROGRAM_DIR}/CityList.txt ${PROJECT_SOURCE_DIR}/data/CityList.ATTRIBUTION.md
  ${VLK_PROGRAM_DIR}/LinuxTuners.ini ${VLK_PROGRAM_DIR}/Vantor-recorder.chm
  DESTINATION ${VLK_DATA_INSTALL_DIR})

install(FILES ${vlk_desktop_dir}/${VLK_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${vlk_desktop_dir}/${VLK_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size IN LISTS VLK_ICON_SIZES)
  install(FILES ${vlk_desktop_dir}/icons/${size}x${size}/${VLK_APP_ID}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/icon_128.svg
  DESTINATION share/icons/hicolor/scalable/apps RENAME ${VLK_APP_ID}.svg)
install(FILES ${vlk_desktop_dir}/vlk-tscap.1 DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/res/linux/vlk-tscap.bash-completion
  DESTINATION share/bash-completion/completions RENAME vlk-tscap)
