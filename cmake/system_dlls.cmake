# How the engine meets the system's DLLs. At load time it imports only from kernel32 and the C
# runtime (msvcrt): both are known DLLs, which the loader maps from the system folder whatever lies
# next to the program, and so are their own dependencies. Every other system DLL is imported through
# the delay-load helper instead: it is loaded from the system folder on first use, after start-up
# has restricted the DLL search, so that neither it nor what it depends on can come from the folder
# the installer was started from (Downloads, say).
set(BRIMSTEAD_LOAD_TIME_DLLS KERNEL32.dll msvcrt.dll)
set(BRIMSTEAD_DELAYED_DLLS advapi32 comctl32 comdlg32 gdi32 msimg32 ole32 oleaut32 psapi shell32 shlwapi
  user32 version winmm)

# Delay-load import libraries under the names of the ordinary ones, made once per tree.
function(_brimstead_delay_libs)
  if(TARGET brimstead_delay_libs)
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  set(outs)
  foreach(dll ${BRIMSTEAD_DELAYED_DLLS})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
      OUTPUT_VARIABLE importLib OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${importLib}")
      message(FATAL_ERROR "the toolchain has no import library for ${dll}")
    endif()
    add_custom_command(OUTPUT ${dir}/lib${dll}.a
      COMMAND ${CMAKE_COMMAND} -DNM=${BRIMSTEAD_TARGET_TRIPLE}-nm -DDLLTOOL=${BRIMSTEAD_TARGET_TRIPLE}-dlltool
        -DIMPORT_LIB=${importLib} -DDLL=${dll}.dll -DOUT=${dir}/lib${dll}.a
        -DKILL_AT=$<STREQUAL:${CMAKE_SIZEOF_VOID_P},4> -P ${PROJECT_SOURCE_DIR}/cmake/make_delay_lib.cmake
      DEPENDS ${importLib} ${PROJECT_SOURCE_DIR}/cmake/make_delay_lib.cmake
      COMMENT "Delay-load import library for ${dll}.dll" VERBATIM)
    list(APPEND outs ${dir}/lib${dll}.a)
  endforeach()
  file(MAKE_DIRECTORY ${dir})
  add_custom_target(brimstead_delay_libs DEPENDS ${outs})
  set_property(GLOBAL PROPERTY BRIMSTEAD_DELAY_DIR ${dir})
endfunction()

# A program of the product: its system DLLs other than the load-time pair are delay-loaded, and
# the build fails when its import table names any other DLL.
function(brimstead_system_dlls_on_first_use target)
  _brimstead_delay_libs()
  get_property(dir GLOBAL PROPERTY BRIMSTEAD_DELAY_DIR)
  add_dependencies(${target} brimstead_delay_libs)
  # Searched before the toolchain's folder: -ladvapi32 and the like, also the compiler's own, find
  # the delay-load libraries.
  # The link map shows whether the linker dropped a delay-load thunk that the program still needs.
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_link_options(${target} PRIVATE -L${dir} -Wl,-Map=${map})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${BRIMSTEAD_TARGET_TRIPLE}-objdump -DPROGRAM=$<TARGET_FILE:${target}>
      "-DALLOWED=${BRIMSTEAD_LOAD_TIME_DLLS}" -DMAP=${map} -DDELAY_DIR=${dir}
      -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
    VERBATIM)
endfunction()
