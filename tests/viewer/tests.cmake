# Browser tests of the capture viewer (viewer/): node's test runner drives Debian's
# Chromium through playwright-core (tests/viewer/setup.sh installs both). The first
# test makes the capture with scopecap against the virtual oscilloscope; the page
# tests load it. A missing node, Chromium or playwright-core fails them loudly.
set(viewer_env
  VIEWER_OUT=${CMAKE_BINARY_DIR}/viewer-tests
  BENCHSIM=$<TARGET_FILE:benchsim>
  SCOPECAP=$<TARGET_FILE:scopecap>
  CHROMIUM=/usr/bin/chromium)

find_program(NODE_PROGRAM node)
set(viewer_node ${NODE_PROGRAM})
if(NOT NODE_PROGRAM)
  set(viewer_node sh -c "echo 'node is not installed: run tests/viewer/setup.sh' >&2 && false" node)
endif()

add_test(NAME viewer_capture COMMAND ${viewer_node} make_capture.mjs
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(viewer_capture PROPERTIES
  FIXTURES_SETUP viewer_capture ENVIRONMENT "${viewer_env}" TIMEOUT 180)

# one process per test file, each with its own Chromium
add_test(NAME viewer_pages
  COMMAND ${viewer_node} --test
    script_page.test.mjs csv_page.test.mjs damaged.test.mjs measure.test.mjs
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(viewer_pages PROPERTIES
  FIXTURES_REQUIRED viewer_capture ENVIRONMENT "${viewer_env}" TIMEOUT 400)
