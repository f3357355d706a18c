# Installing (cmake --install) and the Debian package (cpack) of the same layout.
include(GNUInstallDirs)
install(TARGETS quillet quillet-archive quillet-clip-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep web pages as archives and mark their text")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet opens MHTML web archives (.mht), lets the user mark text in edit mode and saves the page back into the archive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillet developers <quillet@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Needed at run time but not linked: the engine's helper process and the
# SVG icon plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
