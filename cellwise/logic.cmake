# Cellwise's pure logic: the sources that include no Windows header (command
# line, verdict, SMBIOS records, report lines, value templates). Included by the
# product tree (cellwise/CMakeLists.txt) and the native sanitizer tree
# (tests/native), each with its own compiler; needs common_text.
add_library(cellwise_logic STATIC)
target_sources(cellwise_logic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/check/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/verdict/verdict.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identify/smbios_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identify/smbios_batteries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report/report_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/value_template.cpp)
target_link_libraries(cellwise_logic PUBLIC common_text)
