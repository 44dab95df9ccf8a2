# The Debian package: `make package` (or `cpack` in the build folder) builds a
# .deb of everything `make install` installs, at the configured prefix, which
# must be /usr for Debian's libobs to find the plug-in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kp-toolkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kp-toolkit")
set(CPACK_PACKAGE_CONTACT "kp-toolkit developers <kp-toolkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Whiteboard source plug-in for libobs, its host program and an RTC probe")
set(CPACK_PACKAGE_DESCRIPTION "kp-source, a libobs source plug-in with an interactive whiteboard;
kp-host, a small libobs host that plays scripts and shows an interactive viewer;
rtc-probe, a Qt test program for real-time audio/video channels.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# Depends comes from the shared libraries the programs and the plug-in link;
# the package's own libraries are found in its staging tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${PROJECT_BINARY_DIR}/host/ext" "${PROJECT_BINARY_DIR}/sdk/rtc")
# Text boxes open one of these font files at run time; nothing links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-dejavu-core")
include(CPack)
