# What `cmake --install` puts in place for the desktop application: the
# program and its media reader, its page beside it (share/quarrytide/web,
# found from bin/), and the desktop entry with its icon where desktops look.
include(GNUInstallDirs)
install(TARGETS quarrytide quarrytide-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/web/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quarrytide/web
        PATTERN ".*" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/app.quarrytide.Quarrytide.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/app.quarrytide.Quarrytide.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
