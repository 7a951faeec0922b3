# The release packages that scripts/package writes to build/packages/ (scripts/test
# makes them before ctest): the Debian package installed, run and removed, and the
# Windows zip unpacked and run under Wine.
set(SCOPECAP_PACKAGES_DIR "${CMAKE_SOURCE_DIR}/build/packages" CACHE PATH
    "Where scripts/package wrote the .deb, the zip and SHA256SUMS")

# The packages hold release builds, not sanitized ones.
if(NOT SCOPECAP_SANITIZE)
  add_executable(packaging_tests ${CMAKE_CURRENT_LIST_DIR}/packages_test.cpp)
  target_compile_definitions(packaging_tests PRIVATE SCOPECAP_VERSION="${PROJECT_VERSION}"
    SCOPECAP_PACKAGES_DIR="${SCOPECAP_PACKAGES_DIR}" SCOPECAP_CMAKE="${CMAKE_COMMAND}")
  target_link_libraries(packaging_tests PRIVATE wineprefix sdkexamples sim GTest::gtest_main)
  # Installing into /usr goes on alone; the zip's run shares the Wine prefix and COM9.
  gtest_discover_tests(packaging_tests TEST_FILTER "DebianPackage.*" DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS packaging)
  gtest_discover_tests(packaging_tests TEST_FILTER "WindowsZip.*" DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_prefix LABELS packaging)
endif()
