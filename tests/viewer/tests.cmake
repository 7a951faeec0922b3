# Tests of the capture viewer (viewer/). The first makes the capture with scopecap
# against the virtual oscilloscope; the unit tests run the viewer's pure scripts on
# it under node, and the page tests drive Debian's Chromium through playwright-core
# (tests/viewer/setup.sh installs both, and sigrok-cli, which reads the saved
# sessions). A missing node, Chromium, playwright-core or sigrok-cli fails them loudly.
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
  FIXTURES_SETUP viewer_capture ENVIRONMENT "${viewer_env}" TIMEOUT 180 LABELS program)

# the readers, measurements and exports in node alone, on that capture
add_test(NAME viewer_unit
  COMMAND ${viewer_node} --test unit/readers.test.mjs unit/measure.test.mjs unit/exports.test.mjs
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(viewer_unit PROPERTIES
  FIXTURES_REQUIRED viewer_capture ENVIRONMENT "${viewer_env}" TIMEOUT 120 LABELS unit)

# one process per test file, each with its own Chromium
add_test(NAME viewer_pages
  COMMAND ${viewer_node} --test
    script_page.test.mjs csv_page.test.mjs damaged.test.mjs measure.test.mjs exports.test.mjs
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(viewer_pages PROPERTIES
  FIXTURES_REQUIRED viewer_capture ENVIRONMENT "${viewer_env}" TIMEOUT 400 LABELS browser)
