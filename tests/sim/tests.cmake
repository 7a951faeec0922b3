# The virtual bench: what it sends, over its pty, its faults, and benchsim as a program.
add_executable(sim_tests
  ${CMAKE_CURRENT_LIST_DIR}/scope_data_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scope_bench_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/adapter_bench_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/faults_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/benchsim_test.cpp)
# the stored settings sample of scope/, which the bench must read as the program does
target_include_directories(sim_tests PRIVATE ${CMAKE_SOURCE_DIR}/scope)
target_link_libraries(sim_tests PRIVATE sim testsupport GTest::gtest_main)
add_dependencies(sim_tests benchsim scopecap isscheck)
gtest_discover_tests(sim_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
gtest_tiers(sim_tests unit pty "^(ScopeBench|AdapterBench|Faults)\\." program "^Benchsim\\.")

# Without a pty or a child program: the faults' effect on a reply, benchsim's option table.
add_executable(sim_unit_tests
  ${CMAKE_CURRENT_LIST_DIR}/reply_faults_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench_options_test.cpp)
target_link_libraries(sim_unit_tests PRIVATE sim testsupport GTest::gtest_main)
target_compile_definitions(sim_unit_tests PRIVATE SCOPECAP_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(sim_unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
gtest_tiers(sim_unit_tests unit)
