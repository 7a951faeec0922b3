# The Windows programs of the MinGW-w64 cross build (scripts/build-windows), run
# under Wine against the virtual bench. They are found in SCOPECAP_WINDOWS_BUILD_DIR;
# the Wine prefix is made once in <this build>/wine/prefix and reused.
set(SCOPECAP_WINDOWS_BUILD_DIR "${CMAKE_SOURCE_DIR}/build-win" CACHE PATH
    "Cross build (cmake/mingw-w64-x86_64.cmake) whose scopecap.exe and isscheck.exe the Wine tests run")

# The sanitizers cannot reach into the .exe files, so a sanitized build would only
# run the same Windows programs a second time.
if(NOT SCOPECAP_SANITIZE)
  # the prefix, COM9 and runs against benchsim, shared with the packaging tests
  add_library(wineprefix STATIC ${CMAKE_CURRENT_LIST_DIR}/wine_prefix.cpp)
  target_include_directories(wineprefix PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(wineprefix PUBLIC SCOPECAP_WINDOWS_BUILD_DIR="${SCOPECAP_WINDOWS_BUILD_DIR}")
  target_link_libraries(wineprefix PUBLIC testsupport)
  add_dependencies(wineprefix benchsim)

  add_executable(wine_tests
    ${CMAKE_CURRENT_LIST_DIR}/scopecap_wine_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/isscheck_wine_test.cpp)
  target_link_libraries(wine_tests PRIVATE wineprefix sim GTest::gtest_main)
  # One prefix and one COM9 mapping serve every test, so they run one at a time.
  gtest_discover_tests(wine_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_prefix)
  gtest_tiers(wine_tests wine slow "AtTheRealLineRate|SilentScope|\\.Leds")
endif()
