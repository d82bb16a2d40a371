# Runs velkor with ARGS (separated by |) and checks its exit code and output:
#   EXPECT_RC   the exit code it must end with
#   EXPECT_OUT  a regular expression its standard output must match (optional)
#   EXPECT_ERR  a regular expression its standard error must match (optional)
#   REJECT_OUT  a regular expression its standard output must not match (optional)
#   REJECT_ERR  a regular expression its standard error must not match (optional)
# In a cross build the program runs under EMULATOR (Wine for the Windows build).
# The exit code is always checked, so a program that matched the expected
# text but failed still fails the test.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${VELKOR} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL EXPECT_RC)
  message(FATAL_ERROR "velkor ${args}: exit code ${rc}, expected ${EXPECT_RC}\n${out}${err}")
endif()
if(DEFINED EXPECT_OUT AND NOT out MATCHES "${EXPECT_OUT}")
  message(FATAL_ERROR "velkor ${args}: output does not match '${EXPECT_OUT}'\n${out}")
endif()
if(DEFINED EXPECT_ERR AND NOT err MATCHES "${EXPECT_ERR}")
  message(FATAL_ERROR "velkor ${args}: error output does not match '${EXPECT_ERR}'\n${err}")
endif()
if(DEFINED REJECT_OUT AND out MATCHES "${REJECT_OUT}")
  message(FATAL_ERROR "velkor ${args}: output matches '${REJECT_OUT}', which it must not\n${out}")
endif()
if(DEFINED REJECT_ERR AND err MATCHES "${REJECT_ERR}")
  message(FATAL_ERROR "velkor ${args}: error output matches '${REJECT_ERR}', which it must not\n${err}")
endif()
