# Tests run the x86_64 build under 64-bit Wine, in one prefix per build tree.
set(WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader")
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(WINE_ENV WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${WINE_ENV} ${WINE64})

# The throwaway code-signing CA of this build tree (tests/sim/signing makes it).
set(TEST_CA_DIR ${CMAKE_BINARY_DIR}/testca)
set(TEST_CA_ROOT ${TEST_CA_DIR}/root.crt)

# Test-only folders: simulators, signed copies, scenario scratch space.
set(TEST_BIN_DIR ${CMAKE_BINARY_DIR}/testbin)
set(SCENARIO_DIR ${CMAKE_BINARY_DIR}/scenarios)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Every Wine test needs the prefix's wineserver and services running with their
# output in a log file, not on ctest's pipe (which they would hold open).
add_test(NAME wine_start COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh start ${WINE_PREFIX})
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh stop ${WINE_PREFIX})
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

# A black-box scenario module under tests/e2e, run by Python against the built files.
# Scenarios share the prefix's registry and driver services, so they never overlap.
function(cw_add_e2e_test name script)
  add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} -m unittest -v ${ARGN}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK notebook
    TIMEOUT 600
    ENVIRONMENT "WINE64=${WINE64};WINEPREFIX=${WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=;CW_SHIP_DIR=${SHIP_DIR};CW_TEST_BIN=${TEST_BIN_DIR};CW_SCENARIO_DIR=${SCENARIO_DIR};CW_TEST_CA=${TEST_CA_DIR};no_proxy=127.0.0.1,localhost")
endfunction()
