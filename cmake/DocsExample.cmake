# Builds one example of the guide from its text sources with the project's tools and renders it
# with tessaline-render; any report (a stderr line of a tool or the renderer) fails it.
#
#   cmake -DEXAMPLE=docs/examples/NAME -DWORK=DIR -DTOOLDIR=DIR -DRENDER=PATH [-DPICTURES=DIR] [-DCOMPARE=DIR]
#         -P cmake/DocsExample.cmake
#
# The example's folder holds demo.lscx, its sources and a file `render` of directive lines:
#   times T1 T2 ...        the times (ms) rendered, each saved as PICTURES/NAME-T.png
#   pictures               tessaline-demogen writes background.tga, texture.bmp, sprite.tga
#   video FILE ARGS...     tessaline-videogen ARGS... FILE
#   shared FILE...         copies docs/examples/shared/FILE (meshes several examples use)
# Its text sources are built by tessaline-build (X.l3x.txt -> X.l3x and so on, in any folder).
cmake_minimum_required(VERSION 3.20)

foreach(var EXAMPLE WORK TOOLDIR RENDER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "DocsExample: ${var} not given")
  endif()
endforeach()
get_filename_component(name "${EXAMPLE}" NAME)

# Runs a command in WORK; fails on a non-zero exit or any stderr output.
function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "example ${name}: ${what} failed (exit ${rc}):\n${err}${out}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${EXAMPLE}/" DESTINATION "${WORK}")

file(STRINGS "${EXAMPLE}/render" directives)
set(times "")
foreach(line IN LISTS directives)
  string(REGEX REPLACE "[ \t]+" ";" words "${line}")
  list(POP_FRONT words word)
  if(word STREQUAL "times")
    set(times ${words})
  elseif(word STREQUAL "pictures")
    run("tessaline-demogen" "${TOOLDIR}/tessaline-demogen" .)
  elseif(word STREQUAL "shared")
    foreach(file IN LISTS words)
      file(COPY "${EXAMPLE}/../shared/${file}" DESTINATION "${WORK}")
    endforeach()
  elseif(word STREQUAL "video")
    list(POP_FRONT words file)
    run("tessaline-videogen" "${TOOLDIR}/tessaline-videogen" ${words} ${file})
  elseif(NOT word STREQUAL "" AND NOT word MATCHES "^#")
    message(FATAL_ERROR "example ${name}: unknown directive in render: ${line}")
  endif()
endforeach()
if(NOT times)
  message(FATAL_ERROR "example ${name}: render names no times")
endif()

run("tessaline-build" "${TOOLDIR}/tessaline-build" --all .)

string(REPLACE ";" "," timeList "${times}")
run("tessaline-render" "${RENDER}" --quiet --image work --times ${timeList} -o frames demo.lscx)

# COMPARE=DIR: each frame must be the guide's own picture of it, byte for byte (what a maker
# following the guide gets is what the guide shows).
if(DEFINED COMPARE)
  set(k 0)
  foreach(t IN LISTS times)
    string(LENGTH "${k}" digits)
    math(EXPR pad "6 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/frames/${zeros}${k}.png" "${COMPARE}/${name}-${t}.png"
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      message(FATAL_ERROR "example ${name}: the frame at ${t} ms is not the guide's ${name}-${t}.png (make docs renders the pictures again)")
    endif()
    math(EXPR k "${k} + 1")
  endforeach()
endif()

if(DEFINED PICTURES AND NOT PICTURES STREQUAL "")
  file(MAKE_DIRECTORY "${PICTURES}")
  set(k 0)
  foreach(t IN LISTS times)
    string(LENGTH "${k}" digits)
    math(EXPR pad "6 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    file(COPY_FILE "${WORK}/frames/${zeros}${k}.png" "${PICTURES}/${name}-${t}.png")
    math(EXPR k "${k} + 1")
  endforeach()
endif()
