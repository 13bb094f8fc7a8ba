# PE checks of the i686 build: what the shipped files import, carry and weigh.
# Only the i686 files are shipped, and only their export table shows decoration faults.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  return()
endif()

enable_testing()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
if(NOT CMAKE_OBJDUMP)
  set(CMAKE_OBJDUMP i686-w64-mingw32-objdump)
endif()
set(CW_PECHECK ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/pecheck.py --objdump ${CMAKE_OBJDUMP})

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
  if(NOT TARGET ${target})
    continue()
  endif()
  add_test(NAME pe_imports_${target} COMMAND ${CW_PECHECK} imports $<TARGET_FILE:${target}>)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    add_test(NAME pe_manifest_${target} COMMAND ${CW_PECHECK} manifest $<TARGET_FILE:${target}>)
  endif()
  if(DEFINED cw_budget_${target})
    add_test(NAME pe_size_${target} COMMAND ${CW_PECHECK} size $<TARGET_FILE:${target}> ${cw_budget_${target}})
  endif()
endforeach()

if(TARGET battery)
  add_test(NAME pe_no_entry_battery COMMAND ${CW_PECHECK} no-entry $<TARGET_FILE:battery>)
endif()

# Whatever lands in the shipped folder, registered target or not.
add_test(NAME pe_ship_folder COMMAND ${CW_PECHECK} folder ${SHIP_DIR})
