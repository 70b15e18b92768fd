# What `cmake --install` (and `make install`) puts where: the programs in bin/, the man pages,
# the guide and the bundled demo under share/, the desktop entry, the .lscx file type and
# the icon that let a file manager open a script with the player, and the AppStream metainfo
# that software centres list. cmake/Package.cmake makes the Debian package of the same rules.
include(GNUInstallDirs)

# The project's address (a placeholder until it has pages of its own) and AppStream id; the
# release's date is the date of the commit built (else the build's, or SOURCE_DATE_EPOCH's).
# The package's metadata and changelog take them too.
set(TL_HOMEPAGE "https://tessaline.example.org/")
set(TL_APPSTREAM_ID org.tessaline.Tessaline)
set(TL_MAINTAINER "The Tessaline developers <developers@tessaline.example.org>")
execute_process(COMMAND git -C "${PROJECT_SOURCE_DIR}" log -1 --format=%cs%n%cD
                RESULT_VARIABLE tl_git_rc OUTPUT_VARIABLE tl_git_dates ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(tl_git_rc EQUAL 0 AND tl_git_dates MATCHES "^([0-9-]+)\n(.+)$")
  set(TL_RELEASE_DATE "${CMAKE_MATCH_1}")
  set(TL_RELEASE_DATE_RFC2822 "${CMAKE_MATCH_2}")
else()
  string(TIMESTAMP TL_RELEASE_DATE "%Y-%m-%d" UTC)
  string(TIMESTAMP TL_RELEASE_DATE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()

install(TARGETS tessaline tessaline-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The tools install themselves (tools/CMakeLists.txt), one per folder.

if(TL_MAN_PAGES)
  install(FILES ${TL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # One page describes every tool: `man TOOL` opens it through a link named after the tool.
  file(GLOB tl_tool_dirs LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/tools/tessaline-*")
  foreach(dir ${tl_tool_dirs})
    get_filename_component(tool ${dir} NAME)
    if(TARGET ${tool})
      install(CODE "file(CREATE_LINK tessaline-tools.1
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/${tool}.1\" SYMBOLIC)")
    endif()
  endforeach()
endif()

# The guide: its pages (README.md is its contents page), pictures and examples' sources.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessaline
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.txt" PATTERN "*.obj" PATTERN "*.lscx"
                       PATTERN "render"
        PATTERN "man" EXCLUDE PATTERN "CMakeLists.txt" EXCLUDE)

install(FILES cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessaline)

install(DIRECTORY demo/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tessaline/demo)

# The desktop entry opens a script given to it; its action plays the installed bundled demo, at
# the prefix the install goes to (known only when it runs).
install(CODE "set(TL_SHOWCASE_SCRIPT \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/tessaline/demo/demo.lscx\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/desktop/tessaline.desktop.in\" \"${CMAKE_BINARY_DIR}/tessaline.desktop\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/tessaline.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES cmake/desktop/tessaline.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
install(FILES cmake/desktop/tessaline.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# The software centres' entry: what the program is, the desktop entry it launches, the .lscx
# type it opens, a screenshot, the release.
configure_file(cmake/desktop/tessaline.metainfo.xml.in ${CMAKE_BINARY_DIR}/${TL_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${TL_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
