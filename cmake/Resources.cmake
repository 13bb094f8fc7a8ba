# windres records no dependencies for Ninja: list what an .rc pulls in.
function(cw_rc_depends rc)
  set(deps)
  foreach(f IN LISTS ARGN)
    list(APPEND deps ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${deps}")
endfunction()

# Draws one of the program icons into the current binary folder, where the .rc
# finds it through its include path.
function(cw_make_icon kind file)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${file}
    COMMAND ${CMAKE_COMMAND} -E env python3 ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${kind} ${CMAKE_CURRENT_BINARY_DIR}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py VERBATIM)
endfunction()
