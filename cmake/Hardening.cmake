# The platform's hardening, on every Windows file this tree builds:
#   - ASLR with relocations and NX (GNU ld's defaults, named so they stay);
#   - Terminal-Server aware programs;
#   - i686: no SEH handlers (GCC's i686 code registers none; with the mark, Windows
#     refuses any handler an attacker points into the image);
#   - the stack protector, and _FORTIFY_SOURCE (MinGW-w64's own header checks; the
#     checking copies come from the static libssp, no runtime DLL; they act in
#     optimised builds only);
#   - subsystem version 6.0 (the programs need Vista or later: TaskDialogIndirect).
# Files built with -nostdlib (kernel drivers of the simulators) turn the protector
# off for themselves.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>)
add_compile_definitions($<$<COMPILE_LANGUAGE:C,CXX>:_FORTIFY_SOURCE=2>)
add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat
  -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0)
string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--tsaware")
# i686 C symbols carry a leading underscore in the object files.
set(CW_C_SYMBOL_PREFIX "")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_link_options(-Wl,--no-seh)
  set(CW_C_SYMBOL_PREFIX "_")
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# cw_harden_image(<target>): a shipped file's own stack guard, which the loader
# makes random, and its load configuration (common/load_config.c, object library
# image_hardening), entered in the header after the link together with the
# delay-import table (tools/pe_directories.py, which reads the linker's map).
function(cw_harden_image target)
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_link_libraries(${target} PRIVATE image_hardening)
  target_link_options(${target} PRIVATE -Wl,-Map=${map})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/pe_directories.py $<TARGET_FILE:${target}> ${map}
    VERBATIM)
endfunction()
