# The libraries installed into a prefix: the examples built out of tree against it and
# run against the bench. (A sanitized build's static libraries would need its flags too.)
if(NOT SCOPECAP_SANITIZE)
  add_executable(sdk_tests ${CMAKE_CURRENT_LIST_DIR}/sdk_test.cpp)
  target_link_libraries(sdk_tests PRIVATE sdkexamples GTest::gtest_main)
  target_compile_definitions(sdk_tests PRIVATE SCOPECAP_INSTALL_LIBDIR="${CMAKE_INSTALL_LIBDIR}")
  add_dependencies(sdk_tests platform serial iss scope benchsim)
  # one entry: gtest_discover_tests loses the ';' of a property value such as "program;slow"
  add_test(NAME InstalledLibraries COMMAND sdk_tests)
  set_tests_properties(InstalledLibraries PROPERTIES TIMEOUT 300 LABELS "program;slow")
endif()
