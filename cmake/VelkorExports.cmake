# The one list of the library's exports is its public header: every
# declaration that starts with VELKOR_API (VELKOR_SIM_API in the virtual
# module's C header). The symbol check and the Windows
# .def file are both derived from it here.

# velkor_read_exports(<header> <out_var> [<data_out_var>]): the exported
# names, in header order; the optional third variable receives the names of
# the exported variables alone.
function(velkor_read_exports header out_var)
  file(STRINGS "${header}" lines REGEX "^VELKOR(_SIM)?_API ")
  set(names "")
  set(data "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^VELKOR(_SIM)?_API " "" line "${line}")
    if(line MATCHES "^extern [A-Za-z0-9_]+ ([A-Za-z_][A-Za-z0-9_]*)[ ;]")
      list(APPEND names "${CMAKE_MATCH_1}")
      list(APPEND data "${CMAKE_MATCH_1}")
    elseif(line MATCHES "([A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND names "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out_var} "${names}" PARENT_SCOPE)
  if(ARGC GREATER 2)
    set(${ARGV2} "${data}" PARENT_SCOPE)
  endif()
endfunction()
