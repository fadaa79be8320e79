# `cmake --install` and the Debian package (`cpack -G DEB` in the build folder).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsInstall.cmake)
  return()
endif()
include(GNUInstallDirs)

install(TARGETS quillpost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed, the help page lives with the program's other read-only data, not in share/doc: a
# package must keep working when its documentation folder has been left out or removed.
install(FILES ${QUILLPOST_HELP_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillpost)
install(FILES ${PROJECT_SOURCE_DIR}/res/quillpost.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

install(FILES ${PROJECT_SOURCE_DIR}/res/icons/128.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME quillpost.svg)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillpost)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillpost developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray utility that watches several POP3 and IMAP mailboxes")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillpost asks each configured POP3 or IMAP server, at that account's own interval (or at\nonce, where an IMAP server offers IDLE), how many messages are waiting, and shows the\nanswer in the system tray, with an optional sound or program launch. It never downloads,\nreads, marks or deletes mail.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillpost developers")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found by no linker: the SVG plugins that draw the icons, libsecret (QtKeychain loads it by name
# to reach the desktop's keyring), a font for the Japanese texts, and a keyring to talk to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, gnome-keyring")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
