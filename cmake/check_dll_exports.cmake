# Checks Velkor.dll against its header: the export table holds exactly the
# header's names, undecorated; the variables among them are data exports
# (their import library entry has no call thunk) and the functions are code;
# the six slot-bus calls are imported from BrelanSDK.dll by name, as from the
# controller's own library; the version resource carries FILEVERSION and
# PRODUCTVERSION 0,7,1,1 and the strings "0, 7, 1, 1".
# With -DDEF=FILE, that .def file must list the same names, the variables
# marked DATA (the release kit's Velkor.def, from which Velkor.lib is made).
# Usage: cmake -DHEADER=... -DDLL=... -DIMPORT_LIBRARY=... -DOBJDUMP=... -DNM=...
#              -DWINDRES=... [-DDEF=...] -P check_dll_exports.cmake
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/VelkorExports.cmake)
velkor_read_exports("${HEADER}" expected expected_data)
set(problems "")

# The export name table, as objdump prints it: "\t[   3] Name".
execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REPLACE "\n" ";" table_lines "${table}")
list(REMOVE_AT table_lines 0)
set(actual "")
foreach(line IN LISTS table_lines)
  if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
    list(APPEND actual "${CMAKE_MATCH_1}")
  else()
    break()
  endif()
endforeach()
set(missing "${expected}")
list(REMOVE_ITEM missing ${actual})
set(extra "${actual}")
list(REMOVE_ITEM extra ${expected})
if(missing OR extra)
  string(APPEND problems "export table differs from the header's list\n missing: ${missing}\n not declared: ${extra}\n")
endif()

if(DEF)
  file(STRINGS "${DEF}" def_lines)
  set(def_names "")
  set(def_data "")
  set(in_exports FALSE)
  foreach(line IN LISTS def_lines)
    if(line MATCHES "^EXPORTS")
      set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^[ \t]+([A-Za-z_][A-Za-z0-9_]*)( DATA)?[ \t]*$")
      list(APPEND def_names "${CMAKE_MATCH_1}")
      if(CMAKE_MATCH_2)
        list(APPEND def_data "${CMAKE_MATCH_1}")
      endif()
    endif()
  endforeach()
  if(NOT def_names STREQUAL expected OR NOT def_data STREQUAL expected_data)
    string(APPEND problems "${DEF} differs from the header's list (names or DATA marks)\n")
  endif()
endif()

# The slot-bus calls come from BrelanSDK.dll, imported by name.
string(FIND "${dump}" "DLL Name: BrelanSDK.dll" at)
if(at EQUAL -1)
  string(APPEND problems "does not import from BrelanSDK.dll\n")
else()
  string(SUBSTRING "${dump}" ${at} -1 imports)
  string(FIND "${imports}" "\n\n" end)
  string(SUBSTRING "${imports}" 0 ${end} imports)
  foreach(fn GetSlotAddr IoReadByte IoWriteByte Slot_Register_Interrupt Slot_Interrupt_Done Slot_Interrupt_Close)
    if(NOT imports MATCHES "[0-9]+  ${fn}\n" AND NOT imports MATCHES "[0-9]+  ${fn}$")
      string(APPEND problems "${fn} is not imported from BrelanSDK.dll by name\n")
    endif()
  endforeach()
endif()

# An import library gives each function a call thunk named after it; a data
# export has only its __imp_ pointer.
execute_process(COMMAND "${NM}" "${IMPORT_LIBRARY}" OUTPUT_VARIABLE symbols ERROR_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${IMPORT_LIBRARY}")
endif()
foreach(name IN LISTS expected)
  if(NOT symbols MATCHES "I __imp_${name}\n")
    string(APPEND problems "${name} is not in the import library\n")
  elseif(name IN_LIST expected_data AND symbols MATCHES " T ${name}\n")
    string(APPEND problems "${name} is exported as code, not as data\n")
  elseif(NOT name IN_LIST expected_data AND NOT symbols MATCHES " T ${name}\n")
    string(APPEND problems "${name} is exported as data, not as code\n")
  endif()
endforeach()

# The version resource, decompiled.
execute_process(COMMAND "${WINDRES}" -i "${DLL}" -J coff -O rc OUTPUT_VARIABLE resource RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  string(APPEND problems "no resources readable in ${DLL}\n")
endif()
foreach(pattern
    "\n FILEVERSION 0, 7, 1, 1\n" "\n PRODUCTVERSION 0, 7, 1, 1\n"
    "VALUE \"FileVersion\", \"0, 7, 1, 1\"" "VALUE \"ProductVersion\", \"0, 7, 1, 1\"")
  string(FIND "${resource}" "${pattern}" found)
  if(found EQUAL -1)
    string(STRIP "${pattern}" shown)
    string(APPEND problems "version resource lacks ${shown}\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${DLL}:\n${problems}")
endif()
list(LENGTH expected count)
list(LENGTH expected_data data_count)
message(STATUS "${count} exports (${data_count} data), exactly the header's list; the six slot-bus calls from BrelanSDK.dll; version 0, 7, 1, 1")
