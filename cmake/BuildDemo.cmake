# Rebuilds the bundled demo's generated and binary files from their sources, in place:
#   cmake -DTOOLS=<dir of the tools> -DDEMO=<demo dir> -P BuildDemo.cmake
# (the `demo` target runs it). tessaline-demogen writes the pictures, the music, the meshes and
# the jellyfish scene text; then every scene, 2D scene and controller text is built into its
# binary file beside it. The two AVI videos come from tessaline-videogen and are kept as they are
# (FFmpeg's encoders do not promise the same bytes from one version to the next).
foreach(var TOOLS DEMO)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "BuildDemo.cmake needs -D${var}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${line}")
  endif()
endfunction()

run(${TOOLS}/tessaline-demogen ${DEMO})

# Every text source, by the command its heading names (scenes compressed).
run(${TOOLS}/tessaline-build --all ${DEMO})
message(STATUS "demo rebuilt in ${DEMO}")
