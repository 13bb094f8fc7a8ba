# Which UPDATE_PUBLISHER_KEYS values a configure takes (cmake/PublisherKeys.cmake).
#   cmake -DSOURCE_DIR=<source root> -P publisher_keys_rows.cmake
# Each row configures the keys in a cmake process of its own (a refused value ends
# that process with its message) through this script's ROW mode.
if(DEFINED ROW)
  set(CMAKE_SOURCE_DIR ${SOURCE_DIR})
  include(${SOURCE_DIR}/cmake/PublisherKeys.cmake)
  cw_publisher_keys("Norvane" keys)
  return()
endif()

set(a aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa)
set(b 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef)
# <taken: 1 or 0> <value>; a '|' stands for ';' here.
set(rows
  "1 ${a}"
  "1 ${a}|${b}"
  "0 A${b}"
  "0 0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef"
  "0 ${b}0"
  "0 g123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
  "0 ${a}||${b}"
  "0 ${a}|"
  "0 |${a}"
  "0 ${a},${b}"
  "0 ${a} ${b}")
set(failed 0)
foreach(row IN LISTS rows)
  string(SUBSTRING "${row}" 0 1 taken)
  string(SUBSTRING "${row}" 2 -1 value)
  string(REPLACE "|" ";" value "${value}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROW=1 -DSOURCE_DIR=${SOURCE_DIR} "-DUPDATE_PUBLISHER_KEYS=${value}"
                          -P ${CMAKE_CURRENT_LIST_FILE}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " said "${err}")  # as one line, not as wrapped
  if(taken AND NOT result EQUAL 0)
    message(SEND_ERROR "refused, though well formed: \"${value}\"\n${err}")
    set(failed 1)
  elseif(NOT taken AND (result EQUAL 0 OR NOT said MATCHES "64 lower-case hex digits"))
    message(SEND_ERROR "taken, or refused without saying why: \"${value}\"\n${err}")
    set(failed 1)
  endif()
endforeach()
if(NOT failed)
  list(LENGTH rows count)
  message(STATUS "${count} rows as expected")
endif()
