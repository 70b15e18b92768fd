# Installs the build into a staging directory (DESTDIR, prefix /usr) and checks the tree: the
# programs and their version, the man pages, the guide, the demo, a valid desktop entry, a .lscx
# file type that the MIME database takes, the icon, the metainfo; then the installed renderer
# renders the installed demo.
set(dest "${WORK}/root")
set(prefix "${dest}/usr")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${dest} ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix /usr
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}): ${err}")
endif()

set(expected
    bin/tessaline bin/tessaline-render bin/tessaline-build bin/tessaline-l3x bin/tessaline-l2d bin/tessaline-lcx bin/tessaline-chunks
    bin/tessaline-plot bin/tessaline-videogen bin/tessaline-demogen bin/tessaline-musicgen
    share/man/man1/tessaline.1 share/man/man1/tessaline-render.1 share/man/man1/tessaline-tools.1
    share/doc/tessaline/README.md share/doc/tessaline/03-script.md share/doc/tessaline/08-how-it-works.md
    share/tessaline/demo/demo.lscx
    share/man/man1/tessaline-l3x.1
    share/doc/tessaline/copyright
    share/applications/tessaline.desktop
    share/mime/packages/tessaline.xml
    share/icons/hicolor/scalable/apps/tessaline.svg
    share/metainfo/org.tessaline.Tessaline.metainfo.xml)
foreach(f ${expected})
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# Each program says the project's version (the one the package and the metainfo carry).
foreach(program tessaline tessaline-render tessaline-web)
  execute_process(COMMAND "${prefix}/bin/${program}" --version RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "bin/${program} --version does not run (${rc})")
  endif()
  if(NOT said MATCHES "^${program} ${VERSION}[ \n]")
    message(FATAL_ERROR "bin/${program} --version says '${said}', not ${VERSION}")
  endif()
endforeach()

# The man pages are roff with a title line.
file(STRINGS "${prefix}/share/man/man1/tessaline-render.1" th REGEX "^\\.TH")
if(NOT th)
  message(FATAL_ERROR "share/man/man1/tessaline-render.1 is not a man page")
endif()

find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
  message(FATAL_ERROR "desktop-file-validate missing (make deps installs desktop-file-utils)")
endif()
execute_process(COMMAND ${VALIDATE} "${prefix}/share/applications/tessaline.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "" OR NOT err STREQUAL "")
  message(FATAL_ERROR "desktop entry does not validate: ${out}${err}")
endif()
file(STRINGS "${prefix}/share/applications/tessaline.desktop" mime REGEX "^MimeType=.*text/x-tessaline-script;")
file(STRINGS "${prefix}/share/applications/tessaline.desktop" exec REGEX "^Exec=tessaline .*%f")
if(NOT mime OR NOT exec)
  message(FATAL_ERROR "desktop entry lacks the .lscx type or the %f argument")
endif()
# Its action plays the bundled demo where this install put it.
file(STRINGS "${prefix}/share/applications/tessaline.desktop" showcase REGEX "^Exec=tessaline [^%]*demo\\.lscx$")
string(REGEX REPLACE "^Exec=tessaline " "" showcase "${showcase}")
if(NOT showcase OR NOT EXISTS "${dest}${showcase}")
  message(FATAL_ERROR "the desktop action does not name the installed demo: '${showcase}'")
endif()

# The MIME database takes the type and maps *.lscx to it.
find_program(UPDATE_MIME update-mime-database)
if(NOT UPDATE_MIME)
  message(FATAL_ERROR "update-mime-database missing (make deps installs shared-mime-info)")
endif()
file(COPY "${prefix}/share/mime/packages" DESTINATION "${WORK}/mime")
execute_process(COMMAND ${UPDATE_MIME} "${WORK}/mime" RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK}/mime/text/x-tessaline-script.xml")
  message(FATAL_ERROR "update-mime-database did not take the type (${rc}): ${err}")
endif()
file(STRINGS "${WORK}/mime/globs2" glob REGEX "text/x-tessaline-script:\\*\\.lscx")
if(NOT glob)
  message(FATAL_ERROR "*.lscx is not mapped to text/x-tessaline-script")
endif()

# The installed renderer plays the installed demo headless, without a report.
execute_process(COMMAND "${prefix}/bin/tessaline-render" --quiet --times 1000,30000 -o "${WORK}/frames"
                        "${prefix}/share/tessaline/demo/demo.lscx"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "installed demo: exit ${rc}\n${err}${out}")
endif()
foreach(f 000000.png 000001.png)
  if(NOT EXISTS "${WORK}/frames/${f}")
    message(FATAL_ERROR "installed demo: frame ${f} not written")
  endif()
endforeach()
