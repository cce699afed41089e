# Installation into a prefix and the Debian package.
#
#   cmake --install build --prefix /usr/local
#   make package            (cpack -G DEB in the build folder)
#
# bin/ gets the program and its database tool; share/sortia/ the pictures and
# the help page; the desktop entry and the program's icon go where desktops
# look for them. The installed program keeps its database in the user's data
# folder (see platform/folders/program_folders.h).

install(TARGETS sortia sortia-db sortia-image RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/images ${PROJECT_SOURCE_DIR}/app/help
        DESTINATION ${CMAKE_INSTALL_DATADIR}/sortia)
install(FILES ${PROJECT_SOURCE_DIR}/app/sortia.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The program's icon in the icon theme's sizes, painted by sortia-artwork.
set(SORTIA_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${SORTIA_ICON_DIR}/hicolor/48x48/apps/sortia.png
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:sortia-artwork> --app-icons ${SORTIA_ICON_DIR}
  DEPENDS sortia-artwork
  COMMENT "Painting the program's icon")
add_custom_target(app_icons ALL DEPENDS ${SORTIA_ICON_DIR}/hicolor/48x48/apps/sortia.png)
install(DIRECTORY ${SORTIA_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# ---- Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sortia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Sortia maintainers <maintainers@sortia.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prize draw for events, shown on a projector")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Sortia draws winners among the participants kept in a small database and shows them\n"
  "in a large display, full screen on a projector or a large screen if wanted. It marks\n"
  "the winners, lists and prints them. sortia-db creates and fills the database.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link are found by dpkg-shlibdeps; zlib is loaded at
# run time, Qt's window-system plugins are only recommended by Qt itself (an
# install without recommends could not open a window), the fonts stand in for
# the designed faces, Qt's translations make the standard dialogs Chinese
# under a Chinese locale.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "zlib1g, qt6-qpa-plugins, fonts-arphic-uming, fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
