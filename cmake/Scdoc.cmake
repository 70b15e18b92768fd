# Turns one scdoc source into a man page: cmake -DSCDOC=PATH -DIN=FILE.scd -DOUT=FILE -P Scdoc.cmake
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${IN}" OUTPUT_FILE "${OUT}" ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "scdoc ${IN}: ${err}")
endif()
