# What a distribution's package needs beside the programs: the manual pages, the copyright file
# and the Debian changelog (compressed at build time, without names or times, so two builds give
# the same bytes), and the Debian package itself (cpack -G DEB), which lintian passes clean.
#
# Kavro is a tool that installs files into a game, not a game: its programs are commands in bin
# with manual pages in section 1, and the package is in section utils. (Debian's section games
# goes with programs in /usr/games and manual pages in section 6, which is not on root's PATH.)

find_program(KAVRO_GZIP gzip REQUIRED)
set(KAVRO_DIST ${CMAKE_SOURCE_DIR}/dist)
set(KAVRO_DIST_BUILD ${CMAKE_BINARY_DIR}/dist)

# The first entry of the changelog and the newest release of the AppStream data name the
# project's version: a new version without its entries is refused here, not in the package.
file(STRINGS ${KAVRO_DIST}/debian-changelog KAVRO_CHANGELOG_TOP LIMIT_COUNT 1)
file(READ ${KAVRO_DIST}/${KAVRO_APP_ID}.metainfo.xml KAVRO_METAINFO)
string(REGEX MATCH "<release version=\"([^\"]*)\"" _ "${KAVRO_METAINFO}")
set(KAVRO_METAINFO_RELEASE "${CMAKE_MATCH_1}")
if(NOT KAVRO_CHANGELOG_TOP MATCHES "^kavro \\(${PROJECT_VERSION}\\) " OR
   NOT KAVRO_METAINFO_RELEASE STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "Version ${PROJECT_VERSION} needs its entry at the top of "
                        "dist/debian-changelog and as the first release of dist/${KAVRO_APP_ID}.metainfo.xml")
endif()

# name in dist/ -> name installed, gzip'd: the manual pages get the version written in.
set(KAVRO_GZIPPED)
foreach(page kavro.1 kavro-cars.1)
    configure_file(${KAVRO_DIST}/${page} ${KAVRO_DIST_BUILD}/${page} @ONLY)
    list(APPEND KAVRO_GZIPPED ${page})
endforeach()
configure_file(${KAVRO_DIST}/debian-changelog ${KAVRO_DIST_BUILD}/changelog COPYONLY)
list(APPEND KAVRO_GZIPPED changelog)

set(KAVRO_GZIP_OUTPUTS)
foreach(name ${KAVRO_GZIPPED})
    add_custom_command(
        OUTPUT ${KAVRO_DIST_BUILD}/${name}.gz
        COMMAND ${KAVRO_GZIP} -n -9 -f -k ${KAVRO_DIST_BUILD}/${name}
        DEPENDS ${KAVRO_DIST_BUILD}/${name}
        COMMENT "Compressing ${name}"
        VERBATIM)
    list(APPEND KAVRO_GZIP_OUTPUTS ${KAVRO_DIST_BUILD}/${name}.gz)
endforeach()
add_custom_target(kavro_dist ALL DEPENDS ${KAVRO_GZIP_OUTPUTS})

install(FILES ${KAVRO_DIST_BUILD}/kavro.1.gz ${KAVRO_DIST_BUILD}/kavro-cars.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KAVRO_DIST}/copyright ${KAVRO_DIST_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kavro)

# The Debian package: dependencies by Debian's own names, found by dpkg-shlibdeps from the
# libraries the programs link; the programs stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro)
set(CPACK_PACKAGE_VENDOR "Brellum Inc")
set(CPACK_PACKAGE_CONTACT "Kavro team <team@kavro.example.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "downloads add-on cars for Need for Speed High Stakes")
set(CPACK_PACKAGE_DESCRIPTION
    "Kavro lists the add-on cars of the catalogue servers, downloads the chosen
ones and installs them into the game folder (native, Wine, Lutris, Bottles
or PlayOnLinux), giving each car serial numbers of its own. Car ZIP files
the player already has are installed the same way, from the window or with
kavro-cars on the command line, which also lists, fixes and removes the
installed cars.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kavro.example.net/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
include(CPack)
