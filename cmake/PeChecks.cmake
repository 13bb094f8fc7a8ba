# PE checks of the i686 build: what the shipped files import, how they are
# hardened, what they carry and weigh.
# Only the i686 files are shipped, and only their export table shows decoration faults.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  return()
endif()

enable_testing()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# pecheck reads the files with pefile: Debian's python3-pefile (tools/setup.sh),
# which the system's python3 imports, whatever python3 comes first on the PATH.
set(CW_PEFILE_PYTHON)
foreach(candidate IN ITEMS ${Python3_EXECUTABLE} /usr/bin/python3)
  execute_process(COMMAND ${candidate} -c "import pefile" RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
  if(missing EQUAL 0)
    set(CW_PEFILE_PYTHON ${candidate})
    break()
  endif()
endforeach()
if(NOT CW_PEFILE_PYTHON)
  message(FATAL_ERROR "pefile is missing (Debian package python3-pefile): run tools/setup.sh")
endif()
set(CW_PECHECK ${CW_PEFILE_PYTHON} ${CMAKE_SOURCE_DIR}/tools/pecheck.py)

# cw_check_exports(<name> <dll-target> <expected-names-file>): the export table's
# names equal the list exactly (one name a line, # starts a comment line).
function(cw_check_exports name dll_target names_file)
  add_test(NAME ${name}
    COMMAND ${CW_PECHECK} exports $<TARGET_FILE:${dll_target}> ${names_file})
endfunction()

# Size budgets of the stripped files, in bytes.
set(cw_budget_Cellwise 204800)
set(cw_budget_Fetchrun 204800)
set(cw_budget_hwlink 102400)

foreach(target IN ITEMS Cellwise Fetchrun hwlink battery)
  # The import rules and every hardening rule, one line each.
  add_test(NAME pe_hardening_${target} COMMAND ${CW_PECHECK} hardening $<TARGET_FILE:${target}>)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    add_test(NAME pe_manifest_${target} COMMAND ${CW_PECHECK} manifest $<TARGET_FILE:${target}>)
  endif()
  if(DEFINED cw_budget_${target})
    add_test(NAME pe_size_${target} COMMAND ${CW_PECHECK} size $<TARGET_FILE:${target}> ${cw_budget_${target}})
  endif()
endforeach()

add_test(NAME pe_no_entry_battery COMMAND ${CW_PECHECK} no-entry $<TARGET_FILE:battery>)

# Whatever lands in the shipped folder, registered target or not.
add_test(NAME pe_ship_folder COMMAND ${CW_PECHECK} folder ${SHIP_DIR})

# Every rule of pecheck's hardening check fails on a file made without what it
# checks: tiny PEs built without one flag, copies of the shipped files with one
# field changed (tests/pecheck).
add_test(NAME pecheck_rules
  COMMAND ${CMAKE_COMMAND} -E env
    CW_SHIPPED_EXE=$<TARGET_FILE:Cellwise> CW_SHIPPED_DLL=$<TARGET_FILE:hwlink>
    CW_CC=${CMAKE_C_COMPILER} CW_CXX=${CMAKE_CXX_COMPILER} CW_DLLTOOL=${CMAKE_DLLTOOL}
    CW_WORK_DIR=${CMAKE_BINARY_DIR}/pecheck_rules
    ${CW_PEFILE_PYTHON} -m unittest -v test_pecheck
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/pecheck)
