# The benchmarks' own logic: the floor model, the measured run, and both programs
# run once, so a broken benchmark shows before someone needs its figures.
add_executable(bench_tests
  ${CMAKE_CURRENT_LIST_DIR}/line_floor_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/measured_run_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench_programs_test.cpp)
target_link_libraries(bench_tests PRIVATE capturebench testsupport GTest::gtest_main)
target_compile_definitions(bench_tests PRIVATE RUN_CHILD_PROGRAM="$<TARGET_FILE:run_child>")
add_dependencies(bench_tests run_child capture_run scopecap)
if(TARGET export_bench)
  add_dependencies(bench_tests export_bench)
endif()
gtest_discover_tests(bench_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
gtest_tiers(bench_tests program unit "^(BlockReadFloor|CaptureFloor)\\.")
