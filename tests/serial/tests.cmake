# The POSIX serial layer and the serial link on real pseudo-terminals.
add_executable(serial_pty_tests
  ${CMAKE_CURRENT_LIST_DIR}/posix_layer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_link_pty_test.cpp)
target_link_libraries(serial_pty_tests PRIVATE serial platform testsupport GTest::gtest_main)
gtest_discover_tests(serial_pty_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
gtest_tiers(serial_pty_tests pty unit "^PlatformClock\\.")

# The serial link's own logic against the in-memory port.
add_executable(serial_tests ${CMAKE_CURRENT_LIST_DIR}/serial_link_test.cpp)
target_link_libraries(serial_tests PRIVATE serial fakeport testsupport GTest::gtest_main)
gtest_discover_tests(serial_tests DISCOVERY_TIMEOUT 60)
gtest_tiers(serial_tests unit)
