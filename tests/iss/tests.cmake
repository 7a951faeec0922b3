# The adapter library byte by byte against the in-memory port, and isscheck as a
# program: its command line, no adapter, a scripted adapter on a pty, and the
# virtual adapter of the bench.
add_executable(iss_tests
  ${CMAKE_CURRENT_LIST_DIR}/adapter_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/i2c_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/leds_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/isscheck_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/isscheck_bench_test.cpp)
target_link_libraries(iss_tests PRIVATE iss fakeport testsupport GTest::gtest_main)
add_dependencies(iss_tests isscheck benchsim)
gtest_discover_tests(iss_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
