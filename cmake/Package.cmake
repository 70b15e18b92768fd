# The Debian package (`make deb`: cpack in the release build): CPack's DEB generator over the
# install rules of cmake/Install.cmake, under /usr. The dependencies are those of the libraries
# the programs link (dpkg-shlibdeps); cmake/debian/PrepareTree.cmake gives the staged tree what
# Debian's policy asks of a package and not of `make install` (compressed man pages, the changelog).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for data-driven real-time demos")
# Read here: CPack would escape a description file's apostrophes as XML.
file(READ ${PROJECT_SOURCE_DIR}/cmake/debian/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGE_HOMEPAGE_URL ${TL_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${TL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# tessaline_VERSION_ARCH.deb: no Debian revision, the package is built from the project's tree.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The package's changelog (Debian's format), gzipped into the staged tree with the man pages.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
set(CPACK_TL_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog)
set(CPACK_TL_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_TL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessaline)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/PrepareTree.cmake)

include(CPack)
