# cmake -DSOURCE_DIR=<source root> -DBINARY_DIR=<build/win32> -P BuildProduct.cmake
# Builds the product tree (preset win32), configuring it first when it has never
# been configured. Its output is shown as it comes.
if(NOT EXISTS ${BINARY_DIR}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} --preset win32
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring the product build (preset win32) failed")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the product (${BINARY_DIR}) failed")
endif()
