# Run by CPack after installing a component into its staging folder: static
# libraries lose their debugging information (as dh_strip does), not their symbols.
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.a")
foreach(archive IN LISTS archives)
  execute_process(COMMAND strip --strip-debug --enable-deterministic-archives "${archive}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "strip failed on ${archive}")
  endif()
endforeach()
