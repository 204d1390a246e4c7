# The Debian package, made by CPack's DEB generator: `cpack -G DEB` in a build configured with
# the prefix /usr (scripts/package.sh does both). Its runtime dependencies are computed from the
# installed programs by dpkg-shlibdeps, plus what the programs load by name at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nubrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Nubrel developers <dev@nubrel.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "token usage of the Codex agent in the desktop panel")
# The synopsis is the summary above; CPack indents these lines and turns the empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Nubrel puts an item in the desktop's panel that shows how many tokens the
Codex coding agent has used today and what they would cost, with a menu
that breaks today down and shows the six days before it and the month so
far. It reads the agent's session logs and never writes them.

The package also holds nubrel-usage, the same figures in a terminal, and
starts Nubrel with every desktop session.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://nubrel.app")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name, so no library dependency shows them: the TLS backend of the updater's HTTPS
# and the loader of the SVG icons. pkexec lets the updater ask for the right to install.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "glib-networking, librsvg2-common")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
# Absolute destinations (the autostart entry in /etc) need installing with DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/conffiles.in
               ${PROJECT_BINARY_DIR}/debian/conffiles @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
