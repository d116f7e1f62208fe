# Installs the program as a desktop application (executable, desktop entry, icons, AppStream metainfo)
# and describes its Debian package. Included from the top-level CMakeLists.txt after src/.
include(GNUInstallDirs)

set(CHATSLATE_APP_ID "example.brambledyne.BDChatSlate")
set(CHATSLATE_ICON_NAME "bd-chatslate")
# Goes with the version in project(): bump both for a release.
set(CHATSLATE_RELEASE_DATE "2026-12-07")

install(TARGETS BD-CHATSLATE RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/resources/${CHATSLATE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${PROJECT_SOURCE_DIR}/resources/${CHATSLATE_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${CHATSLATE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${CHATSLATE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${PROJECT_SOURCE_DIR}/resources/bd-chatslate.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${CHATSLATE_ICON_NAME}.svg)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/bd-chatslate-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${CHATSLATE_ICON_NAME}.png)
endforeach()

# Debian keeps the licence of a package under its own name.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/bd-chatslate
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bd-chatslate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR BrambleDyne)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "People on one local network pass short texts to each other without any server: everyone points
the program at the same shared folder (a Samba or NFS share), posting puts the text at the top of
one plain-text live log there, and every running copy re-reads the log every three seconds.")
set(CPACK_PACKAGE_CONTACT "BD-ChatSlate maintainers <bd-chatslate@brambledyne.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brambledyne.example/bd-chatslate")
# The libraries come from the binary; Qt loads its platform plugins at run time, which dpkg-shlibdeps
# cannot see, and Qt's GUI library only recommends them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)
