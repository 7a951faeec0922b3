# scopecap as a program: no instrument, and end to end against the virtual oscilloscope.
add_executable(app_tests
  ${CMAKE_CURRENT_LIST_DIR}/no_port_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_e2e_test.cpp)
target_link_libraries(app_tests PRIVATE sim testsupport GTest::gtest_main)
add_dependencies(app_tests scopecap benchsim)
gtest_discover_tests(app_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
gtest_tiers(app_tests program slow "^ScopecapCapture\\.AtTheRealLineRate$")
