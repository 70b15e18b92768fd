# What `cmake --install` (and `make install`) puts where: the programs in bin/, the man pages,
# the guide and the bundled demo under share/, and the desktop entry, the .lscx file type and
# the icon that let a file manager open a script with the player.
include(GNUInstallDirs)

install(TARGETS tessaline tessaline-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The tools install themselves (tools/CMakeLists.txt), one per folder.

if(TL_MAN_PAGES)
  install(FILES ${TL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The guide: its pages (README.md is its contents page), pictures and examples' sources.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessaline
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.txt" PATTERN "*.obj" PATTERN "*.lscx"
                       PATTERN "render"
        PATTERN "man" EXCLUDE)

install(DIRECTORY demo/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tessaline/demo)

# The desktop entry opens a script given to it; its action plays the installed bundled demo, at
# the prefix the install goes to (known only when it runs).
install(CODE "set(TL_SHOWCASE_SCRIPT \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/tessaline/demo/demo.lscx\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/desktop/tessaline.desktop.in\" \"${CMAKE_BINARY_DIR}/tessaline.desktop\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/tessaline.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES cmake/desktop/tessaline.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
install(FILES cmake/desktop/tessaline.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
