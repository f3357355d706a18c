# Installing (cmake --install) and the Debian package (cpack) of the same layout.
include(GNUInstallDirs)
install(TARGETS quillet quillet-archive quillet-clip-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# What Debian asks of every package's documentation folder: the licence in the
# machine-readable format and a changelog, compressed as its tools do.
set(quillet_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillet)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${quillet_doc_dir})
set(QUILLET_MAINTAINER "Quillet developers <quillet@users.noreply.invalid>")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog CONTENT
     "quillet (${PROJECT_VERSION}) stable; urgency=medium\n\n  * Release ${PROJECT_VERSION}.\n\n -- ${QUILLET_MAINTAINER}  ${QUILLET_RELEASE_DATE_RFC2822}\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                   COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
                   DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(quillet_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${quillet_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep web pages as archives and mark their text")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet opens MHTML web archives (.mht), lets the user mark text in edit\nmode and saves the page back into the archive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLET_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLET_HOMEPAGE}")
endif()
# The package carries no debug symbols; a build tree keeps them.
set(CPACK_STRIP_FILES ON)
# Needed at run time but not linked: the engine's helper process, the SVG
# icon plugins and the SQLite driver of the library index.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libqt6svg6, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
