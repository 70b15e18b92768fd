# Run by cpack on the staged tree before it is packed (CPACK_PRE_BUILD_SCRIPTS): what Debian's
# policy asks of a package and not of `make install`. Man pages and the changelog are gzipped
# (-n: no name or time in the header, so the same tree packs to the same bytes) and each man page
# link points at the compressed page; directories left empty (the web engine's when `make web`
# has not run) are dropped.
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${root}/bin")
  message(FATAL_ERROR "PrepareTree: no staged tree at ${root}")
endif()
find_program(GZIP gzip REQUIRED)

function(gzip_file file)
  execute_process(COMMAND ${GZIP} -9nf "${file}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "PrepareTree: gzip ${file} failed")
  endif()
endfunction()

file(GLOB pages "${root}/${CPACK_TL_MANDIR}/man*/*")
foreach(page ${pages})
  if(IS_SYMLINK "${page}")
    file(READ_SYMLINK "${page}" target)
    file(REMOVE "${page}")
    file(CREATE_LINK "${target}.gz" "${page}.gz" SYMBOLIC)
  elseif(NOT page MATCHES "\\.gz$")
    gzip_file("${page}")
  endif()
endforeach()

file(COPY_FILE "${CPACK_TL_CHANGELOG}" "${root}/${CPACK_TL_DOCDIR}/changelog")
gzip_file("${root}/${CPACK_TL_DOCDIR}/changelog")

# find -depth -empty: deepest first, so a directory holding only empty ones goes too.
execute_process(COMMAND find "${root}" -depth -type d -empty -delete RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "PrepareTree: removing empty directories failed")
endif()
