# The Debian package: `cmake --build build --target package` writes
# tarvoni-radio-player_3.01-1_<arch>.deb into the build directory, from what `cmake --install`
# puts in place. The package installs under /usr, so the tree must be configured for /usr
# (the default): the program reaches its engine module by a path worked out at configure time
# from the install directories.

set(tarvoni_deb_sources ${PROJECT_SOURCE_DIR}/packaging/deb)
set(tarvoni_deb_build ${PROJECT_BINARY_DIR}/packaging)
set(tarvoni_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarvoni-radio-player)

# Debian keeps the changelog and manual pages compressed, with no name or time in the gzip
# header so that the same sources give the same package.
set(tarvoni_gzipped)
foreach(name changelog tarvoni-radio-player.1)
    set(out ${tarvoni_deb_build}/${name}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${tarvoni_deb_build}
        COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${tarvoni_deb_sources}/${name} ${out}
        DEPENDS ${tarvoni_deb_sources}/${name}
        VERBATIM)
    list(APPEND tarvoni_gzipped ${out})
endforeach()
add_custom_target(tarvoni_package_documents ALL DEPENDS ${tarvoni_gzipped})

install(FILES ${tarvoni_deb_sources}/copyright DESTINATION ${tarvoni_doc_dir})
install(FILES ${tarvoni_deb_build}/changelog.gz DESTINATION ${tarvoni_doc_dir}
        RENAME changelog.Debian.gz)
install(FILES ${tarvoni_deb_build}/tarvoni-radio-player.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${tarvoni_deb_sources}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tarvoni-radio-player)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvoni-radio-player)
set(CPACK_PACKAGE_VENDOR "Tarvoni Software")
set(CPACK_PACKAGE_VERSION 3.01)
set(CPACK_PACKAGE_CONTACT "Tarvoni Software <packages@tarvoniradio.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "internet radio player for Sri Lankan stations")
# The long description, in lines short enough for a package manager's window.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "With Tarvoni Radio Player now you can listen to most of Sri Lankan Radio"
    "stations via Internet without going to Web pages. In our next edition you"
    "can listen to Sri Lankan Internet radio stations also."
    ""
    "Twenty-nine stations are one click away in a single window, and the player"
    "keeps an icon in the system tray so it can play on while its window is out"
    "of the way.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tarvoniradio.com)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the program and its engine module link, found by dpkg-shlibdeps; then what
# no link shows: libVLC's access, demux, codec and audio output plugins for the stations'
# streams (http, mms, ASX/PLS/M3U, MP3, AAC, WMA; PulseAudio and ALSA), the fonts the
# window is drawn in, and the fonts for the Sinhala and Tamil titles the stations send. The web
# engine's helper process, libqt6webenginecore6-bin, comes in through the engine library's
# symbols file.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "vlc-plugin-base, fonts-wine, fonts-noto-ui-core")

if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(tarvoni_prefix_check ${tarvoni_deb_build}/check_prefix.cmake)
    file(WRITE ${tarvoni_prefix_check}
        "message(FATAL_ERROR \"The Debian package needs a tree configured with "
        "-DCMAKE_INSTALL_PREFIX=/usr (this one: ${CMAKE_INSTALL_PREFIX}).\")\n")
    set(CPACK_PRE_BUILD_SCRIPTS ${tarvoni_prefix_check})
endif()

include(CPack)
