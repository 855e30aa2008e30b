# The Debian package: `cpack -G DEB` in a build folder, after the build. It carries both
# programs, Ruffle's files, the desktop entry and the icon, and names the Debian packages
# of the libraries they load, so that apt installs those first.
install(FILES ${PROJECT_SOURCE_DIR}/resources/pellimor.svg
    DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellimor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pellimor developers <pellimor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Flash movies from a browser's URL cache: list, play, save and delete")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Finds the Flash movies (SWF) kept in WinINet caches (index.dat of Internet Explorer,\n\
as found in Wine prefixes and old Windows disks), lists them by site, plays them with\n\
Ruffle, saves copies and deletes them from the cache without breaking it.")

# By Debian package name (Debian 12, Ubuntu 22.04 and later). A program built against Qt 6.N
# needs 6.N or later at run time.
set(pellimor_depends "libc6" "libstdc++6" "libgcc-s1")
if(PELLIMOR_WITH_UI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    find_package(Qt6 QUIET COMPONENTS WebEngineWidgets)
    set(qt ">= ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR}")
    # Newer releases renamed some of them with a t64 ending (64-bit time).
    list(APPEND pellimor_depends
        "libqt6core6 (${qt}) | libqt6core6t64 (${qt})"
        "libqt6gui6 (${qt}) | libqt6gui6t64 (${qt})"
        "libqt6widgets6 (${qt}) | libqt6widgets6t64 (${qt})"
        "qt6-qpa-plugins (${qt})")
    if(TARGET Qt6::WebEngineWidgets)
        # The web engine runs its pages in QtWebEngineProcess, a program of its own package.
        list(APPEND pellimor_depends "libqt6webenginecore6 (${qt})"
            "libqt6webenginewidgets6 (${qt})" "libqt6webenginecore6-bin (${qt})")
    endif()
endif()
list(JOIN pellimor_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
