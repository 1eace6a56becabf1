# The Debian package cpack makes of the install rules: one a Debian user
# would accept (lintian has nothing to say about it) - a description, the
# changelog and copyright files, zelto's manual page, README, and what the
# editor needs at run time beside the libraries dpkg-shlibdeps finds.

set(ZELTO_DOC_DIR share/doc/krw-zelto)

# The changelog and manual page go in compressed, as Debian keeps them
# (gzip -n: no name or time stamp, so a rebuild gives the same bytes).
set(ZELTO_DEB_DIR ${CMAKE_BINARY_DIR}/debian)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${ZELTO_DEB_DIR}/changelog @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${ZELTO_DEB_DIR}/copyright COPYONLY)
add_custom_command(OUTPUT ${ZELTO_DEB_DIR}/changelog.gz
  COMMAND gzip -9nc ${ZELTO_DEB_DIR}/changelog > ${ZELTO_DEB_DIR}/changelog.gz
  DEPENDS ${ZELTO_DEB_DIR}/changelog
  VERBATIM)
# The manual page is zelto's own help, command by command.
add_custom_command(OUTPUT ${ZELTO_DEB_DIR}/zelto.1.gz
  COMMAND ${CMAKE_COMMAND} -DZELTO=$<TARGET_FILE:zelto> -DOUT=${ZELTO_DEB_DIR}/zelto.1
          -DVERSION=${PROJECT_VERSION} -DBUILT_PLUGIN=$<TARGET_FILE:KRWZelto>
          -DINSTALLED_PLUGIN=/usr/lib/vst/$<TARGET_FILE_NAME:KRWZelto>
          -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  COMMAND gzip -9nf ${ZELTO_DEB_DIR}/zelto.1
  DEPENDS zelto KRWZelto ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  VERBATIM)
add_custom_target(zelto_package_docs ALL
  DEPENDS ${ZELTO_DEB_DIR}/changelog.gz ${ZELTO_DEB_DIR}/zelto.1.gz)

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${ZELTO_DEB_DIR}/copyright
              ${ZELTO_DEB_DIR}/changelog.gz
        DESTINATION ${ZELTO_DOC_DIR})
install(FILES ${ZELTO_DEB_DIR}/zelto.1.gz DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krw-zelto)
set(CPACK_PACKAGE_VENDOR "KRW-soundlab")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "brickwall limiter for mastering (VST 2.4, LV2, CLAP) with a command-line host")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KRW Zelto is a full-band look-ahead brickwall limiter for the master bus:
it drives the input, holds every peak under the output ceiling (optionally
detecting inter-sample peaks), meters input, output and gain reduction,
and can requantize to 8, 16 or 24 bits with dither and noise shaping.
.
This package holds the plug-in for VST 2.4 hosts (/usr/lib/vst), LV2
hosts (/usr/lib/lv2) and CLAP hosts (/usr/lib/clap), each with the same
editor, and zelto, a command-line host that renders, plays and masters
audio files through the plug-in to a loudness and true-peak target.")
set(CPACK_PACKAGE_CONTACT "KRW-soundlab <support@krw-soundlab.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The editor draws its text in these fonts; its preset strip opens file
# dialogs with zenity or kdialog and the manual with xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-dejavu-extra, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog, xdg-utils")
set(CPACK_STRIP_FILES ON)
# cpack adds ldconfig calls for any shared object under /usr/lib; plug-ins
# are loaded by path, never linked against, so the package goes without.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebWithoutLdconfig.cmake)
