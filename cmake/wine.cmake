# Every tree tests Windows programs under Wine in a private prefix under the build tree; in the
# target tree they run through ctest's cross-compiling emulator.
set(BRIMSTEAD_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# Wine's own wrapper always prefers the 32-bit loader; where that cannot run, go to the 64-bit one.
execute_process(COMMAND /usr/lib/wine/wine --version OUTPUT_VARIABLE _wine32 ERROR_QUIET RESULT_VARIABLE _rc)
if(_rc EQUAL 0 AND _wine32 MATCHES "^wine-")
  set(BRIMSTEAD_WINE_LOADER /usr/lib/wine/wine)
else()
  set(BRIMSTEAD_WINE_LOADER /usr/lib/wine/wine64)
endif()
# A display number per build tree, so that trees of several checkouts can test at once.
string(MD5 _tree_hash ${CMAKE_BINARY_DIR})
string(SUBSTRING ${_tree_hash} 0 2 _tree_hash)
math(EXPR _display "100 + 0x${_tree_hash}")
set(BRIMSTEAD_XDISPLAY ${_display} CACHE STRING "Xvfb display number for this tree's tests")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(WIN32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# Adds the setup/cleanup pair of the fixture NAME that the tree's Windows tests require.
# brimstead_wine_fixture(NAME [KEEPER program]): KEEPER keeps Wine's desktop up for the run.
function(brimstead_wine_fixture name)
  cmake_parse_arguments(ARG "" "KEEPER" "" ${ARGN})
  add_test(NAME ${name}_setup COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-fixture setup
    ${BRIMSTEAD_WINE_LOADER} ${BRIMSTEAD_WINEPREFIX} ${BRIMSTEAD_XDISPLAY} ${ARG_KEEPER})
  add_test(NAME ${name}_cleanup COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-fixture cleanup
    ${BRIMSTEAD_WINE_LOADER} ${BRIMSTEAD_WINEPREFIX} ${BRIMSTEAD_XDISPLAY})
  set_tests_properties(${name}_setup PROPERTIES FIXTURES_SETUP ${name})
  set_tests_properties(${name}_cleanup PROPERTIES FIXTURES_CLEANUP ${name})
endfunction()
