# Runs velkor with bad arguments (ARGS, separated by |) and expects exit code
# 2 with a message and the usage. In a cross build the program runs under
# EMULATOR (Wine for the Windows build).
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${VELKOR} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "velkor ${args}: exit code ${rc}, expected 2\n${out}${err}")
endif()
if(NOT err MATCHES "velkor: " OR NOT "${out}${err}" MATCHES "Usage")
  message(FATAL_ERROR "velkor ${args}: no message or no usage\n${out}${err}")
endif()
