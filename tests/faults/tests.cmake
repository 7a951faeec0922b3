# The fault matrix: the programs against every fault of the line and the disk.
add_executable(fault_tests ${CMAKE_CURRENT_LIST_DIR}/fault_matrix_test.cpp)
target_link_libraries(fault_tests PRIVATE sim testsupport GTest::gtest_main)
target_compile_definitions(fault_tests PRIVATE SCOPECAP_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(fault_tests scopecap isscheck benchsim)
gtest_discover_tests(fault_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
# a silent instrument and short blocks wait out every read time-out of the capture
gtest_tiers(fault_tests program unit "^FaultDocument\\." slow "/scopecap_(silent_instrument|short_blocks) ")
