# The publisher's keys that Fetchrun pins, and the test CA they default to.
#
# UPDATE_PUBLISHER_KEYS: a ;-separated list of SHA-256 values, each 64 lower-case
# hex digits, of the SubjectPublicKeyInfo of the certificate that signs the update
# programs (two while a key is rotated; README, Security). A value given with -D
# wins in every preset. Left empty, a build pins the maker key of this clone's
# test CA, which is then made here if it is not there yet: so the product build
# (preset win32), whose files the test tree's i686 side runs, and the test tree
# (preset win64) pin the same key and trust the same root, whichever of them is
# configured first. A release passes the maker's keys.
#
# TEST_CA_DIR: the test CA, one per clone (tools/testca.sh makes it once, under a
# lock; its keys never leave build/). The inner i686 build of the test tree is
# handed the outer one's.

set(UPDATE_PUBLISHER_KEYS "" CACHE STRING
    "SHA-256 (64 lower-case hex digits) of each SubjectPublicKeyInfo Fetchrun accepts, ;-separated; empty: the test CA's maker key")
set(TEST_CA_DIR ${CMAKE_SOURCE_DIR}/build/testca CACHE PATH "The throwaway code-signing CA of the tests (made once per clone)")

# Makes the test CA for <publisher> unless it is there already, and configures
# again when it is made anew.
function(cw_test_ca publisher)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/testca.sh ${TEST_CA_DIR} ${publisher}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "making the test CA in ${TEST_CA_DIR} failed (tools/testca.sh)")
  endif()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${TEST_CA_DIR}/signer.spki-sha256 ${TEST_CA_DIR}/root.crt)
endfunction()

# <out>: the keys this build pins, checked.
function(cw_publisher_keys publisher out)
  set(keys "${UPDATE_PUBLISHER_KEYS}")
  if(keys STREQUAL "")
    cw_test_ca("${publisher}")
    file(READ ${TEST_CA_DIR}/signer.spki-sha256 keys)
    string(STRIP "${keys}" keys)
    if(CELLWISE_TESTS)
      message(STATUS "Fetchrun pins the test CA's maker key (${TEST_CA_DIR})")
    else()
      message(WARNING "This Fetchrun.exe starts only update programs signed by the test CA in "
        "${TEST_CA_DIR}: UPDATE_PUBLISHER_KEYS was not given. A release passes the maker's keys: "
        "-DUPDATE_PUBLISHER_KEYS=<sha256>[;<sha256>] (README, Security).")
    endif()
  endif()
  # Every entry, empty ones included (a doubled or a trailing ';').
  foreach(key IN LISTS keys)
    string(LENGTH "${key}" length)
    if(NOT key MATCHES "^[0-9a-f]*$" OR NOT length EQUAL 64)
      message(FATAL_ERROR "UPDATE_PUBLISHER_KEYS: \"${key}\" is no SHA-256 value. Give one or more, ';'-separated, "
        "each 64 lower-case hex digits: the SHA-256 of the signer's SubjectPublicKeyInfo (README, Security).")
    endif()
  endforeach()
  set(${out} "${keys}" PARENT_SCOPE)
endfunction()
