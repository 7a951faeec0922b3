# The oscilloscope code against the in-memory port: command channel, exports, sequences.
add_executable(scope_tests
  ${CMAKE_CURRENT_LIST_DIR}/learn_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sequences_test.cpp)
target_link_libraries(scope_tests PRIVATE scope sim fakeport testsupport GTest::gtest_main)
gtest_discover_tests(scope_tests DISCOVERY_TIMEOUT 60)
gtest_tiers(scope_tests unit)

# The oscilloscope sequences over the real serial layer against the bench, in-process.
add_executable(scope_bench_tests ${CMAKE_CURRENT_LIST_DIR}/sequences_bench_test.cpp)
target_link_libraries(scope_bench_tests PRIVATE scope serial platform sim testsupport GTest::gtest_main)
gtest_discover_tests(scope_bench_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
# the sweep's 67 commands each wait their 600 ticks
gtest_tiers(scope_bench_tests pty slow "^SequencesOnBench\\.Sweep")
