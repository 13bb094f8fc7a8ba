# Delay-loaded system DLLs. A target that links delay_<dll> in place of <dll>
# imports nothing from <dll>.dll at start: the C runtime's delay-load helper loads
# it on the first call, through the hooks of common/delay_load.cpp (object library
# delay_load), from the system folder only.
#
# cmake/delay/<dll>.def lists the functions called, with their i686 stdcall
# decoration (InitCommonControls@0); the x86_64 library is made from the same list
# without it. A function that is not listed is imported at start from the regular
# import library (the toolchain links it by default), which the PE checks refuse
# (pe_hardening_*: static-imports): add its line.

set(CW_DELAY_DEFS ${CMAKE_CURRENT_LIST_DIR}/delay)

# cw_delay_library(<dll>...): the imported static library delay_<dll> for each,
# from cmake/delay/<dll>.def, and for x86_64 also <dll>.x86_64.def (functions only
# x86_64 exports, such as GetWindowLongPtrW) where there is one.
function(cw_delay_library)
  foreach(dll IN LISTS ARGN)
    cw_make_delay_library(${dll} ${CW_DELAY_DEFS}/${dll}.def)
  endforeach()
endfunction()

# cw_make_delay_library(<dll> <def>): delay_<dll> from a .def of its own (tests).
function(cw_make_delay_library dll def)
  if(TARGET delay_${dll})
    return()
  endif()
  set(work ${CMAKE_BINARY_DIR}/delay/${dll})
  set(out ${work}/lib${dll}_delay.a)
  file(MAKE_DIRECTORY ${work})
  set(kill_at)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Imported by the undecorated name the DLL exports.
    set(kill_at --kill-at)
  else()
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(READ ${def} def_text)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
    string(REGEX REPLACE "\\.def$" ".x86_64.def" extra ${def})
    if(EXISTS ${extra})
      set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${extra})
      file(READ ${extra} extra_text)
      string(APPEND def_text "${extra_text}")
    endif()
    set(def ${work}/${dll}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "${def_text}" @ONLY)
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${def} --dllname ${dll}.dll --output-delaylib ${out}
            --temp-prefix ${dll}_delay
    DEPENDS ${def}
    WORKING_DIRECTORY ${work}
    COMMENT "Delay-load library of ${dll}.dll"
    VERBATIM)
  # Each function's stub is kept through the link's --gc-sections: GNU ld 2.40
  # follows no reference from an import address table entry to the code it
  # starts with, so a stub reached only through that entry would be dropped,
  # leaving the entry 0.
  file(STRINGS ${def} entries REGEX "^[A-Za-z_][A-Za-z0-9_@]*$")
  list(REMOVE_ITEM entries EXPORTS)
  list(TRANSFORM entries PREPEND "-Wl,--undefined=${CW_C_SYMBOL_PREFIX}" OUTPUT_VARIABLE keep)
  add_custom_target(delay_${dll}_build DEPENDS ${out})
  add_library(delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_${dll} PROPERTIES IMPORTED_LOCATION ${out} INTERFACE_LINK_OPTIONS "${keep}")
  add_dependencies(delay_${dll} delay_${dll}_build)
endfunction()
