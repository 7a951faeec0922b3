# Replays of the fuzz corpora and of every input a fuzzer run found a fault with,
# through the same target sources, without libFuzzer: the ordinary and the
# sanitizer builds run them as tests.
set(FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(fuzz_replay name)
  add_executable(fuzz_replay_${name} ${FUZZ_DIR}/${name}_target.cpp ${FUZZ_DIR}/replay_main.cpp)
  target_link_libraries(fuzz_replay_${name} PRIVATE testsupport ${ARGN})
  set(inputs ${FUZZ_DIR}/corpus/${name})
  if(EXISTS ${FUZZ_DIR}/regressions/${name})
    list(APPEND inputs ${FUZZ_DIR}/regressions/${name})
  endif()
  add_test(NAME fuzz_replay_${name} COMMAND fuzz_replay_${name} ${inputs})
  set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS unit)
endfunction()

fuzz_replay(learn scope)
fuzz_replay(reply scope serial platform)
fuzz_replay(export scope serial platform)
fuzz_replay(iss iss serial fakeport)
