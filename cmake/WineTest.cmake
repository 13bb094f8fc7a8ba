# Tests under Wine, on two sides, each in a Wine prefix of its own, so the two
# sides can run at the same time (ctest -j2). The unit tests run on both sides;
# the end-to-end scenarios on one, the scenario side (CW_SCENARIO_SIDE below):
# the shipped i686 files wherever this machine can run them.
#
#   x86_64  this tree's x86_64 build (ship/, testbin/) in 64-bit Wine
#           (unit tests in prefix wineprefix/, scenario folders scenarios/).
#   i686    the files we ship, unchanged: build/win32/ship, brought up to date by
#           this tree's product_i686 step; and an i686 build of the unit tests and
#           of the simulators marked below (i686/, an inner build of the same
#           sources). 32-bit Wine runs them in a 64-bit prefix exactly as WoW64 runs
#           them on 64-bit Windows (unit tests in prefix wineprefix-i686/, scenario
#           folders scenarios-i686/).
#
# The scenarios have a prefix of their own, wineprefix-scenarios/ (a 64-bit
# prefix like the others): they install drivers, services and registry values,
# which the unit tests running at the same time must not meet.
#
# On the i686 side the simulators stay what they are on a 64-bit machine: the
# kernel drivers, the download server and the helper programs are the x86_64 ones.
# Only where a 32-bit program loads a simulator (ecsim.dll) or a simulator loads
# or links product code (hwcall.exe, fetchprobe.exe) does the side need a 32-bit
# build of it: its CMakeLists.txt says cw_i686_copy(<target>), and the inner build
# puts that copy into testbin-i686/, which otherwise mirrors testbin/ (symbolic
# links, made by the testbin_i686 step), together with signed copies of the
# shipped i686 files. Scenarios read everything through CW_SHIP_DIR, CW_TEST_BIN,
# CW_SCENARIO_DIR and WINEPREFIX, so a new scenario module (tests/e2e/test_*.py)
# serves either side and a new simulator joins both with no further wiring.
#
# Test names start with their side ("x86_64.", "i686.") and carry it as a label:
# `ctest --preset x86_64` or `ctest --preset i686` runs one side. Where this
# machine cannot run 32-bit code (tools/check32.sh says why), the i686 tests are
# still registered and are reported as skipped, with the reason as their output,
# and the scenarios run on the x86_64 side.

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader (it hands 32-bit programs on to wine32)")
set(CW_WINE_ENV WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=")

# Test-only folders of this tree: simulators and signed copies, scenario scratch space.
set(TEST_BIN_DIR ${CMAKE_BINARY_DIR}/testbin)
set(SCENARIO_DIR ${CMAKE_BINARY_DIR}/scenarios)

# The inner i686 build only compiles: the outer tree registers and runs its tests,
# makes the prefixes, and hands in the test CA (TEST_CA_DIR, the clone's one that
# the product build pins too: cmake/PublisherKeys.cmake) and the keys it pins.
option(CW_I686_INNER "This tree is the i686 build inside a win64 test tree" OFF)
if(CW_I686_INNER AND NOT CW_I686_TESTBIN)
  message(FATAL_ERROR "the inner i686 build needs CW_I686_TESTBIN from the outer tree")
endif()
set(TEST_CA_ROOT ${TEST_CA_DIR}/root.crt)

# The two sides.
set(CW_SIDES x86_64 i686)
set(CW_PRODUCT_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
    "The i686 product build (preset win32) whose shipped files the i686 side tests")
set(CW_x86_64_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CW_x86_64_SHIP ${SHIP_DIR})
set(CW_x86_64_TESTBIN ${TEST_BIN_DIR})
set(CW_x86_64_SCENARIOS ${SCENARIO_DIR})
set(CW_x86_64_SKIP "")
set(CW_i686_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-i686)
set(CW_i686_SHIP ${CW_PRODUCT_DIR}/ship)
set(CW_i686_TESTBIN ${CMAKE_BINARY_DIR}/testbin-i686)
set(CW_i686_SCENARIOS ${CMAKE_BINARY_DIR}/scenarios-i686)
set(CW_i686_INNER_DIR ${CMAKE_BINARY_DIR}/i686)
set(CW_SCENARIO_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-scenarios)
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/check32.sh
  OUTPUT_VARIABLE CW_i686_SKIP OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE check32_result)
if(check32_result EQUAL 0)
  set(CW_i686_SKIP "")
elseif(CW_i686_SKIP STREQUAL "")
  set(CW_i686_SKIP "tools/check32.sh failed (${check32_result})")
endif()
if(CW_i686_SKIP AND NOT CW_I686_INNER)
  message(STATUS "i686 tests will be skipped: ${CW_i686_SKIP}")
endif()

# The side of the scenarios: the files we ship where the i686 side runs; the
# x86_64 build of the same sources where it cannot, so that every scenario still
# runs once. -DCW_SCENARIO_SIDE=x86_64 runs them there on any machine.
set(CW_SCENARIO_SIDE "" CACHE STRING "The side the end-to-end scenarios run on (x86_64 or i686; empty: i686 where it can run)")
if(CW_SCENARIO_SIDE STREQUAL "")
  set(CW_SCENARIO_SIDE_USED i686)
elseif(CW_SCENARIO_SIDE IN_LIST CW_SIDES)
  set(CW_SCENARIO_SIDE_USED ${CW_SCENARIO_SIDE})
else()
  message(FATAL_ERROR "CW_SCENARIO_SIDE is x86_64, i686 or empty, not \"${CW_SCENARIO_SIDE}\"")
endif()
if(CW_${CW_SCENARIO_SIDE_USED}_SKIP)
  set(CW_SCENARIO_SIDE_USED x86_64)
endif()

# Whether <side> registers the scenarios, in <out>: the scenario side runs them;
# a side that cannot run at all reports them as skipped, and says where they run.
function(cw_runs_scenarios side out)
  if(side STREQUAL CW_SCENARIO_SIDE_USED OR CW_${side}_SKIP)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Runs a program of this tree's own x86_64 build (the unit tests) in its prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${CW_x86_64_PREFIX} ${CW_WINE_ENV} ${WINE64})

# Registers a test that only reports the side's skip reason.
function(cw_add_skipped_test name reason)
  add_test(NAME ${name} COMMAND /bin/sh -c "echo \"skipped: $1\"; exit 77" sh "${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# The environment of a scenario on <side>, in the scenarios' prefix.
function(cw_side_environment side out)
  set(${out}
    "CW_SIDE=${side}" "WINE64=${WINE64}" "WINEPREFIX=${CW_SCENARIO_PREFIX}" ${CW_WINE_ENV}
    "CW_SHIP_DIR=${CW_${side}_SHIP}" "CW_TEST_BIN=${CW_${side}_TESTBIN}"
    "CW_SCENARIO_DIR=${CW_${side}_SCENARIOS}" "CW_TEST_CA=${TEST_CA_DIR}" "no_proxy=127.0.0.1,localhost"
    PARENT_SCOPE)
endfunction()

# Every Wine test needs its prefix's wineserver and services running with their
# output in a log file, not on ctest's pipe (which they would hold open).
function(cw_add_wine_fixtures)
  foreach(side IN LISTS CW_SIDES)
    if(CW_${side}_SKIP)
      continue()
    endif()
    add_test(NAME ${side}.wine_start COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh start ${CW_${side}_PREFIX})
    add_test(NAME ${side}.wine_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh stop ${CW_${side}_PREFIX})
    set_tests_properties(${side}.wine_start PROPERTIES FIXTURES_SETUP wine_${side} LABELS ${side})
    set_tests_properties(${side}.wine_stop PROPERTIES FIXTURES_CLEANUP wine_${side} LABELS ${side})
  endforeach()
  set(side ${CW_SCENARIO_SIDE_USED})
  add_test(NAME ${side}.scenario_wine_start COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh start ${CW_SCENARIO_PREFIX})
  add_test(NAME ${side}.scenario_wine_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/winefixture.sh stop ${CW_SCENARIO_PREFIX})
  set_tests_properties(${side}.scenario_wine_start PROPERTIES FIXTURES_SETUP wine_scenarios LABELS ${side})
  set_tests_properties(${side}.scenario_wine_stop PROPERTIES FIXTURES_CLEANUP wine_scenarios LABELS ${side})
endfunction()

# cw_add_scenario_test(<name> <timeout> <command>...): <command> as <side>.<name>
# on the scenario side, in tests/e2e, with the side's environment. Scenarios share
# their prefix's registry and driver services, so they never overlap.
function(cw_add_scenario_test name timeout)
  foreach(side IN LISTS CW_SIDES)
    cw_runs_scenarios(${side} runs)
    if(NOT runs)
      continue()
    endif()
    set(test ${side}.${name})
    if(CW_${side}_SKIP)
      cw_add_skipped_test(${test} "${CW_${side}_SKIP} (the scenarios run on the ${CW_SCENARIO_SIDE_USED} side)")
      set_tests_properties(${test} PROPERTIES LABELS ${side})
      continue()
    endif()
    cw_side_environment(${side} environment)
    string(REPLACE "@SIDE@" "${side}" command "${ARGN}")
    add_test(NAME ${test} COMMAND ${command} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
    # The scenarios run one after the other (they share the notebook), waiting
    # on Wine more than working: they start first, and the unit tests, in
    # prefixes of their own, fill the other job slots meanwhile.
    set_tests_properties(${test} PROPERTIES
      COST 1000
      FIXTURES_REQUIRED wine_scenarios
      RESOURCE_LOCK notebook
      TIMEOUT ${timeout}
      LABELS ${side}
      ENVIRONMENT "${environment}")
  endforeach()
endfunction()

# cw_add_e2e_test(<name> <module>...): a black-box scenario module under tests/e2e,
# run by Python on the scenario side as <side>.<name>.
function(cw_add_e2e_test name)
  cw_add_scenario_test(${name} 600 ${Python3_EXECUTABLE} -m unittest -v ${ARGN})
endfunction()

# cw_add_unit_tests(<target>): the GoogleTest program <target> on both sides, one
# ctest test per GoogleTest case: this tree's x86_64 build, and the inner build's
# i686 one.
function(cw_add_unit_tests target)
  if(CW_I686_INNER)
    return()
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX x86_64.
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES FIXTURES_REQUIRED wine_x86_64 TIMEOUT 60 LABELS x86_64)
  if(CW_i686_SKIP)
    cw_add_skipped_test(i686.${target} "${CW_i686_SKIP}")
    set_tests_properties(i686.${target} PROPERTIES LABELS i686)
    return()
  endif()
  get_target_property(file_name ${target} OUTPUT_NAME)
  if(NOT file_name)
    set(file_name ${target})
  endif()
  add_executable(${target}_i686 IMPORTED)
  set_target_properties(${target}_i686 PROPERTIES
    IMPORTED_LOCATION ${CW_i686_INNER_DIR}/testbin/${file_name}.exe
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;WINEPREFIX=${CW_i686_PREFIX};${CW_WINE_ENV};${WINE64}")
  gtest_discover_tests(${target}_i686
    TEST_PREFIX i686.
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES FIXTURES_REQUIRED wine_i686 TIMEOUT 60 LABELS i686)
endfunction()

# cw_i686_copy(<target>...): the i686 side uses a 32-bit build of these simulators
# (a 32-bit program loads them, or they load or link product code). The inner
# build makes them and copies them into testbin-i686/ (see cw_i686_copies below).
function(cw_i686_copy)
  if(CW_I686_INNER)
    set_property(GLOBAL APPEND PROPERTY CW_I686_COPIES ${ARGN})
  endif()
endfunction()

# In the inner build: the step i686_copies puts the marked targets' files into the
# outer tree's testbin-i686/. A link that the mirror left there is removed first,
# never written through (it points into testbin/).
function(cw_i686_copies)
  get_property(targets GLOBAL PROPERTY CW_I686_COPIES)
  set(commands)
  foreach(target IN LISTS targets)
    set(destination ${CW_I686_TESTBIN}/$<TARGET_FILE_NAME:${target}>)
    list(APPEND commands
      COMMAND ${CMAKE_COMMAND} -E rm -f ${destination}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${destination})
  endforeach()
  add_custom_target(i686_copies
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CW_I686_TESTBIN}
    ${commands}
    VERBATIM)
  if(targets)
    add_dependencies(i686_copies ${targets})
  endif()
endfunction()
