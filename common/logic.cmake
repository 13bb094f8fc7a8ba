# common's text library: the sources that include no Windows header (lists,
# time stamps, DER, links, argument and path text, string blocks). The product
# tree and the native sanitizer tree (tests/native) both include this file, each
# compiling the same declaration with its own compiler and flags.
add_library(common_text STATIC)
target_sources(common_text PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/text_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_stamp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/der_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/argv_split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/string_block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_text.cpp)
