# hwlink's pure logic: the sources that include no Windows header (GABI frame
# layouts, the SMBIOS structure search, the NVRAM and device firmware replies).
# Included by the product tree (hwlink/CMakeLists.txt) and the native sanitizer
# tree (tests/native), each with its own compiler.
add_library(hwlink_logic STATIC)
target_sources(hwlink_logic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frame/gabi_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame/smbios_search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/services/nvram_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/services/device_firmware_reply.cpp)
