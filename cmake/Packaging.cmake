# The Debian package: `cpack -G DEB` in the build folder (or the target `package`) makes
# vlk-tscap_<version>_amd64.deb, installing the layout of cmake/Install.cmake under /usr.
# dpkg-shlibdeps (Debian package dpkg-dev) works out the library dependencies.
set(CPACK_PACKAGE_NAME vlk-tscap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VLK-TScap developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop tool for satellite DVB-S/S2 tuner cards")
# Lines kept short for the package's long description, as Debian wants it.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "VLK-TScap works with one satellite tuner at a time: it tunes a transponder (LNB,"
  "polarisation, DiSEqC switch port, DVB-S2 scrambling code and input stream), shows"
  "the signal and the carrier report, records the transport stream to a file and"
  "drives a DiSEqC 1.2 dish motor."
  ""
  "Real cards are reached through the Linux DVB API; simulated cards are listed"
  "beside them, so the program can be tried without hardware.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build folder; the package carries the stripped program.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VLK-TScap developers <vlk-tscap@users.noreply.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# F1 opens the guide through xdg-open; the dialog framework's Chinese prompts need a CJK font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-wqy-microhei")

include(CPack)
