# The call sweep: scopecap and isscheck's own code, each run once per platform call
# with that call failing, in a fork of the test against the in-memory port and the
# counted file calls. And the capture files from the outside: the order of syncs and
# renames under strace, and captures killed part-way.
add_executable(sweep_tests
  ${CMAKE_CURRENT_LIST_DIR}/call_sweep_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scopecap_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/isscheck_main.cpp
  ${CMAKE_SOURCE_DIR}/app/isscheck_cli.cpp
  # isscheck's ports listing reads sysfs, no port: the real one, beside the fake port
  ${CMAKE_SOURCE_DIR}/platform/posix_port_list.cpp)
target_include_directories(sweep_tests PRIVATE ${CMAKE_SOURCE_DIR}/app)
target_compile_definitions(sweep_tests PRIVATE SCOPECAP_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  SCOPECAP_VERSION="${PROJECT_VERSION}")
target_link_libraries(sweep_tests PRIVATE scope iss fakeport sim testsupport GTest::gtest_main)
gtest_discover_tests(sweep_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
gtest_tiers(sweep_tests unit)

add_executable(kept_capture_tests ${CMAKE_CURRENT_LIST_DIR}/kept_capture_test.cpp)
target_link_libraries(kept_capture_tests PRIVATE sim testsupport GTest::gtest_main)
add_dependencies(kept_capture_tests scopecap benchsim)
gtest_discover_tests(kept_capture_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
# The quick run stops one capture mid-export with each signal; the other nine points
# wait out most of a capture each, so they run in the whole suite.
gtest_tiers(kept_capture_tests program slow "^Points/KilledCapture\\.KeepsTheEarlierCapture/(300ms|900ms|1400ms|log1|log40000|log80000|log160000|log200000|log230000)_")
