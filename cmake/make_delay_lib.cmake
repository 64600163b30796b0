# Makes a delay-load import library for one system DLL from the toolchain's ordinary import library:
# every function that the import library names, imported through the delay-load helper instead of
# the program's import table.
#   cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIB=... -DDLL=name.dll -DOUT=lib.a -DKILL_AT=0|1 -P make_delay_lib.cmake
execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIB}")
endif()
string(REGEX MATCHALL "[ \t]I __imp_[^\r\n]+" entries "${symbols}")
set(def "LIBRARY ${DLL}\nEXPORTS\n")
foreach(entry ${entries})
  string(REGEX REPLACE "^[ \t]I __imp_" "" name "${entry}")
  # 32-bit names carry the C prefix; the stdcall suffix stays for dlltool's -k to take off.
  if(KILL_AT)
    string(REGEX REPLACE "^_" "" name "${name}")
  endif()
  string(APPEND def "${name}\n")
endforeach()
get_filename_component(dir ${OUT} DIRECTORY)
get_filename_component(stem ${OUT} NAME_WE)
file(WRITE ${dir}/${stem}.def "${def}")
set(kill)
if(KILL_AT)
  set(kill -k)
endif()
execute_process(COMMAND ${DLLTOOL} ${kill} -d ${dir}/${stem}.def -y ${OUT} -D ${DLL} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUT}")
endif()
