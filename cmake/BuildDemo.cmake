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

file(GLOB scenes ${DEMO}/scenes/*.txt)
foreach(text ${scenes})
  string(REGEX REPLACE "\\.txt$" ".l3x" out ${text})
  run(${TOOLS}/tessaline-l3x --compress ${text} ${out})
endforeach()
file(GLOB sprites ${DEMO}/2d/*.txt)
foreach(text ${sprites})
  string(REGEX REPLACE "\\.txt$" ".l2d" out ${text})
  run(${TOOLS}/tessaline-l2d ${text} ${out})
endforeach()
file(GLOB expressions ${DEMO}/controllers/*.txt)
foreach(text ${expressions})
  string(REGEX REPLACE "\\.txt$" ".lecx" out ${text})
  run(${TOOLS}/tessaline-lcx ${text} ${out})
endforeach()
file(GLOB keyFramers ${DEMO}/data/lcx/*.txt)
foreach(text ${keyFramers})
  string(REGEX REPLACE "\\.txt$" ".lcx" out ${text})
  run(${TOOLS}/tessaline-lcx ${text} ${out})
endforeach()
message(STATUS "demo rebuilt in ${DEMO}")
