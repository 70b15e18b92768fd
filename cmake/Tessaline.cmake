# Helpers shared by every target of the project.

# Warnings as errors on our own code only.
function(tl_warnings target)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  # The fuzz build (clang) only replays and explores inputs: its warnings are shown, not fatal,
  # since the release and sanitizer builds already hold the code to -Werror.
  if(TL_BUILD_FUZZ)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()

# One static library per source folder: every .cpp of the folder, linking only the
# libraries below it. An empty folder becomes an interface library until it has code.
function(tl_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp")
  # The WebAssembly build has no AVX2 loops (TL_HAVE_AVX2 is 0 there).
  if(EMSCRIPTEN)
    list(FILTER sources EXCLUDE REGEX "Avx2\\.cpp$")
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
    tl_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()
