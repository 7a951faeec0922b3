# The driver tier: the programs on the kernel's 8250, ftdi_sio and cdc_acm drivers in a
# QEMU guest (tests/drivers/make-guest makes it; scripts/test runs that first). One
# boot runs every case, so the cases share one ctest entry per test and run serially.
# The guest runs its own static programs, which a sanitized build cannot instrument.
if(NOT SCOPECAP_SANITIZE)
  add_executable(driver_tests ${CMAKE_CURRENT_LIST_DIR}/guest_tier_test.cpp)
  target_compile_definitions(driver_tests PRIVATE SCOPECAP_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(driver_tests PRIVATE sim testsupport GTest::gtest_main)
  add_dependencies(driver_tests benchsim)
  add_test(NAME DriverTier COMMAND driver_tests)
  # slow: among the cases a capture through the FT232 at the true line rate
  set_tests_properties(DriverTier PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    LABELS "guest;slow")
endif()
