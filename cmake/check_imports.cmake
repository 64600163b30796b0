# Fails when a program imports at load time from a DLL outside the allowed set, or when its link
# map shows a delay-load thunk dropped: the 32-bit linker drops the thunk of a function that is
# called only through its import pointer, and that function's entry would then jump to address 0.
#   cmake -DOBJDUMP=... -DPROGRAM=... -DALLOWED="KERNEL32.dll;msvcrt.dll" [-DMAP=... -DDELAY_DIR=...]
#         -P check_imports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${headers}")
string(TOLOWER "${ALLOWED}" allowed)
set(found)
foreach(entry ${names})
  string(REGEX REPLACE "^DLL Name: " "" dll "${entry}")
  string(TOLOWER "${dll}" lower)
  list(FIND allowed "${lower}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} imports ${dll} at load time; only ${ALLOWED} may be imported so, "
                        "everything else is loaded from the system folder on first use")
  endif()
  list(APPEND found ${dll})
endforeach()
if(NOT found)
  message(FATAL_ERROR "no import table found in ${PROGRAM}")
endif()

if(MAP)
  file(READ ${MAP} map)
  string(FIND "${map}" "Discarded input sections" at)
  if(at GREATER -1)
    string(SUBSTRING "${map}" ${at} -1 discarded)
    string(FIND "${discarded}" "\nMemory Configuration" end)
    if(end GREATER -1)
      string(SUBSTRING "${discarded}" 0 ${end} discarded)
    endif()
    string(REGEX MATCH "\\.text[^\n]*${DELAY_DIR}/[^\n]*" dropped "${discarded}")
    if(dropped)
      message(FATAL_ERROR "${PROGRAM}: the linker dropped a delay-load thunk (${dropped}); call that "
                          "function by its plain name, not through __declspec(dllimport)")
    endif()
  endif()
endif()
