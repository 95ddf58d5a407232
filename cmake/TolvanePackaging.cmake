# What `cmake --install` lays out under its prefix, and the Debian package
# `cpack -G DEB` makes of it:
#   bin/tolvane
#   share/tolvane/Help/        the user's guide, where the program looks for it
#   share/applications/tolvane.desktop
#   share/icons/hicolor/scalable/apps/tolvane.svg
#   share/man/man1/tolvane.1
include(GNUInstallDirs)

install(TARGETS tolvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Help DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tolvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tolvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tolvane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The decoder loads its four libraries by name at run time, so the library
# scan cannot see them; the package names carry the same major versions.
function(tolvane_debian_library_package variable library version)
  string(REGEX MATCH "^[0-9]+" major "${version}")
  set(${variable} "${library}${major}" PARENT_SCOPE)
endfunction()
tolvane_debian_library_package(avcodec libavcodec "${FFMPEG_libavcodec_VERSION}")
tolvane_debian_library_package(avformat libavformat "${FFMPEG_libavformat_VERSION}")
tolvane_debian_library_package(avutil libavutil "${FFMPEG_libavutil_VERSION}")
tolvane_debian_library_package(swscale libswscale "${FFMPEG_libswscale_VERSION}")

set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "Tolvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Burns text subtitles into a video")
set(CPACK_PACKAGE_DESCRIPTION
    "Decodes a video picture by picture, draws SubRip, MicroDVD, ASS/SSA or WebVTT subtitles (or the source's own subtitle track) on it and writes AVI, Matroska or MP4 with the source's audio copied unchanged; a desktop window and a command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolvane developers <tolvane@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin of Qt's; the default font is Arial's
# metric twin. Qt finds Thai word breaks through libthai, which it loads by
# name, so the library scan cannot see that either.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${avcodec}, ${avformat}, ${avutil}, ${swscale}, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, libthai0")
include(CPack)
