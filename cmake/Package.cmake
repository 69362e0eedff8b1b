# A Debian package of what cmake/Install.cmake installs:
#   cpack --config BUILD/CPackConfig.cmake -G DEB
# (scripts/package does the build and this in one step).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tilewise)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tilewise developers")
set(CPACK_PACKAGE_CONTACT "Tilewise developers <feedback@tilewise.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven window layouts for X11")
set(CPACK_PACKAGE_DESCRIPTION
    "Tilewise moves and resizes the focused window of other applications from global
shortcuts: fixed fractions of the screen, widths and heights that cycle through
a list of clips, step moves, corners, centring, moves to the next monitor or
desktop, pairs and quick actions. tilewisectl does the same from a shell and
reads and writes the settings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tilewise developers <feedback@tilewise.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: the packages of the shared libraries the binaries link to, as
# dpkg-shlibdeps (dpkg-dev) finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
