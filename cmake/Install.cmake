# What `cmake --install` places, and the Debian package CPack builds from it
# (scripts/package.sh). Icons: the scalable drawing plus the usual hicolor sizes, rendered from it.
include(GNUInstallDirs)
# Installing (and so packaging) takes what the build made, without building every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS ovra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/app.ovra.Ovra.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${OVRA_APP_ID}.desktop)

configure_file(${PROJECT_SOURCE_DIR}/data/app.ovra.Ovra.metainfo.xml
               ${PROJECT_BINARY_DIR}/data/${OVRA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/${OVRA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

configure_file(${PROJECT_SOURCE_DIR}/data/ovra.1 ${PROJECT_BINARY_DIR}/data/ovra.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/ovra.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The GNOME Shell extension that tells the program, in Wayland sessions, which window has the
# keyboard and where it is, and holds its shortcut. Both its forms (GNOME 43-44, GNOME 45 and
# later) go to the program's data: turning it on from the program links the one the running shell
# loads into the user's extensions. The form of this machine's shell is also installed where every
# shell looks, for users who turn it on in the shell's own settings.
install(DIRECTORY ${PROJECT_BINARY_DIR}/data/gnome-shell/43 ${PROJECT_BINARY_DIR}/data/gnome-shell/45
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ovra/gnome-shell)
install(DIRECTORY ${PROJECT_BINARY_DIR}/data/gnome-shell/${OVRA_SHELL_FORM}/ovra@ovra.app
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)

set(ovra_icon_svg ${PROJECT_SOURCE_DIR}/data/icons/app.ovra.Ovra.svg)
install(FILES ${ovra_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${OVRA_APP_ID}.svg)
# The tray's own monochrome drawing, found by the desktop's icon theme under this name.
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/icons/ovra-tray.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ovra.svg)

find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    set(ovra_icon_pngs)
    foreach(size 16 22 24 32 48 64 128 256 512)
        set(png ${PROJECT_BINARY_DIR}/data/icons/${size}/${OVRA_APP_ID}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data/icons/${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ovra_icon_svg}
            DEPENDS ${ovra_icon_svg} VERBATIM)
        list(APPEND ovra_icon_pngs ${png})
        install(FILES ${png}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(ovra_icons ALL DEPENDS ${ovra_icon_pngs})
else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): only the scalable icon is installed")
endif()

# Debian package. Library dependencies come from dpkg-shlibdeps on the build machine, so a package
# built on Debian 13 names that release's libraries (renamed there for 64-bit time). The
# accessibility bus, the device translation and the colour emoji font (emoji in the selected
# text and in results) are recommended, as Ovra runs without them with less to offer.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ovra)
set(CPACK_PACKAGE_VENDOR "Ovra")
set(CPACK_PACKAGE_CONTACT "Ovra maintainers <maintainers@ovra.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Translate and rephrase the text you select, in any application")
set(CPACK_PACKAGE_DESCRIPTION
    "Ovra lives in the system tray and shows a small panel beside the text selected in any\n"
    "application: it translates, rephrases, reviews and summarizes it and answers questions\n"
    "about it, online or on the device.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ovra)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "at-spi2-core, apertium, apertium-eng-spa, apertium-es-pt, fonts-noto-color-emoji")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "packagekit")
include(CPack)
