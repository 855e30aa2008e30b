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

# By Debian package name (Debian 12 and Ubuntu 22.04 on). Loaded at run time rather than
# linked, so that no tool finds them: the display plugins, and QtWebEngineProcess, in which
# the web engine runs its pages.
set(pellimor_depends)
set(pellimor_linked "libc6" "libstdc++6" "libgcc-s1")
if(PELLIMOR_WITH_UI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    find_package(Qt6 QUIET COMPONENTS WebEngineWidgets)
    # A program built against Qt 6.N needs 6.N or later; newer releases renamed some of the
    # packages with a t64 ending (64-bit time).
    set(qt ">= ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR}")
    list(APPEND pellimor_depends "qt6-qpa-plugins (${qt})")
    list(APPEND pellimor_linked
        "libqt6core6 (${qt}) | libqt6core6t64 (${qt})"
        "libqt6gui6 (${qt}) | libqt6gui6t64 (${qt})"
        "libqt6widgets6 (${qt}) | libqt6widgets6t64 (${qt})")
    if(TARGET Qt6::WebEngineWidgets)
        list(APPEND pellimor_depends "libqt6webenginecore6-bin (${qt})")
        list(APPEND pellimor_linked "libqt6webenginecore6 (${qt})" "libqt6webenginewidgets6 (${qt})")
    endif()
endif()
# The package's copyright file, in Debian's machine-readable format: the project's licence,
# and Ruffle's (MIT or Apache-2.0) where the package ships Ruffle's files, with the text of
# its MIT licence as Ruffle gives it.
file(READ ${PROJECT_SOURCE_DIR}/resources/copyright pellimor_copyright)
set(pellimor_ruffle ${PROJECT_SOURCE_DIR}/node_modules/@ruffle-rs/ruffle)
if(PELLIMOR_WITH_UI AND TARGET Qt6::WebEngineWidgets AND EXISTS ${pellimor_ruffle}/ruffle.js)
    file(READ ${PROJECT_SOURCE_DIR}/resources/copyright-ruffle paragraph)
    string(APPEND pellimor_copyright "${paragraph}")
endif()
file(READ ${PROJECT_SOURCE_DIR}/resources/copyright-licences paragraph)
string(APPEND pellimor_copyright "${paragraph}")
if(PELLIMOR_WITH_UI AND TARGET Qt6::WebEngineWidgets AND EXISTS ${pellimor_ruffle}/ruffle.js)
    # Each line one space in, an empty line as " .".
    file(READ ${pellimor_ruffle}/LICENSE_MIT mit)
    string(STRIP "${mit}" mit)
    string(REPLACE "\n" "\n " mit " ${mit}")
    string(REGEX REPLACE "\n +\n" "\n .\n" mit "${mit}")
    string(REGEX REPLACE "\n +\n" "\n .\n" mit "${mit}")
    string(APPEND pellimor_copyright "\nLicense: MIT\n${mit}\n")
endif()
file(WRITE ${PROJECT_BINARY_DIR}/copyright "${pellimor_copyright}")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION share/doc/pellimor)

# dpkg-shlibdeps names the linked libraries itself, with the least versions the programs need
# (glibc, libstdc++, Qt), so that the package does not install where they are older.
find_program(PELLIMOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PELLIMOR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    list(PREPEND pellimor_depends ${pellimor_linked})
endif()
list(JOIN pellimor_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
