# The test support's own faults: the child process launcher on a bad day.
add_executable(support_tests ${CMAKE_CURRENT_LIST_DIR}/child_process_test.cpp)
target_link_libraries(support_tests PRIVATE testsupport GTest::gtest_main)
gtest_discover_tests(support_tests DISCOVERY_TIMEOUT 60)
gtest_tiers(support_tests unit)
