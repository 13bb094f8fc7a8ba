# Fetchrun's pure logic, one library per floor: the sources that include no
# Windows header. Transfer: body length, hash text, INI values, log lines, the
# program's descriptor, read pacing, limits, results. App: options and texts.
# Included by the product tree (fetchrun/CMakeLists.txt) and the native sanitizer
# tree (tests/native), each with its own compiler; needs common_text.
add_library(fetchrun_transfer_logic STATIC)
target_sources(fetchrun_transfer_logic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/transfer/body_length.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/hash_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/ini_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/log_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/program_descriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/read_pacer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/transfer_limits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer/transfer_result.cpp)
target_link_libraries(fetchrun_transfer_logic PUBLIC common_text)

add_library(fetchrun_app_logic STATIC)
target_sources(fetchrun_app_logic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/app/options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/texts.cpp)
target_link_libraries(fetchrun_app_logic PUBLIC fetchrun_transfer_logic common_text)
