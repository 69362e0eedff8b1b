# Installs the programs as a desktop program: the binaries, a menu entry
# with its icon, the man pages and the bash completion of tilewisectl.
# Included where the targets exist (TILEWISE_X11).
include(GNUInstallDirs)

install(TARGETS tilewise tilewisectl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(TILEWISE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# Exec is the plain program name, found on PATH; the autostart entry the
# program writes itself names its own absolute path instead.
install(FILES ${TILEWISE_DATA_DIR}/tilewise.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TILEWISE_DATA_DIR}/icons/tilewise.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TILEWISE_DATA_DIR}/man/tilewise.1 ${TILEWISE_DATA_DIR}/man/tilewisectl.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# bash-completion loads completions/NAME when NAME is first completed.
install(FILES ${TILEWISE_DATA_DIR}/completion/tilewisectl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
