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
# the full walk's 77 words each wait their 600 ticks
gtest_tiers(iss_tests unit program "^Isscheck" slow "^IsscheckBench\\.LedsFullDotWalk")

# isscheck's command table, walked entry by entry in this process.
add_executable(isscheck_table_tests ${CMAKE_CURRENT_LIST_DIR}/isscheck_table_test.cpp ${CMAKE_SOURCE_DIR}/app/isscheck_cli.cpp)
target_include_directories(isscheck_table_tests PRIVATE ${CMAKE_SOURCE_DIR}/app)
target_link_libraries(isscheck_table_tests PRIVATE testsupport GTest::gtest_main)
gtest_discover_tests(isscheck_table_tests DISCOVERY_TIMEOUT 60)
gtest_tiers(isscheck_table_tests unit)

# isscheck ports where there are none and where the list cannot be read.
add_executable(isscheck_ports_tests ${CMAKE_CURRENT_LIST_DIR}/isscheck_ports_test.cpp)
target_link_libraries(isscheck_ports_tests PRIVATE testsupport GTest::gtest_main)
add_dependencies(isscheck_ports_tests isscheck)
gtest_discover_tests(isscheck_ports_tests DISCOVERY_TIMEOUT 60)
gtest_tiers(isscheck_ports_tests program)
