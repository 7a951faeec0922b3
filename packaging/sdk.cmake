# The libraries for a user's own programs, the "dev" component: the public headers in
# include/scopecap/, the static libraries (the serial link with its platform layer,
# the adapter, the oscilloscope), a pkg-config file for each device library and the
# CMake package scopecap (scopecap::iss, scopecap::scope). Everything is found from
# where it lies, so any install prefix works and the Windows zip's sdk/ may be
# unpacked anywhere. Debian: the package libscopecap-dev; Windows: sdk/ in the zip.
include(CMakePackageConfigHelpers)

if(WIN32)
  set(sdk_root sdk/)
else()
  set(sdk_root "")
endif()
set(sdk_include ${sdk_root}${CMAKE_INSTALL_INCLUDEDIR})
set(sdk_lib ${sdk_root}${CMAKE_INSTALL_LIBDIR})

# <windows.h> stands in for the stand-in's declarations on Windows
set(sdk_headers serial/serial.h iss/iss.h scope/scope.h scope/learn.h platform/winapi.h)
if(NOT WIN32)
  list(APPEND sdk_headers platform/posix_winapi.h)
endif()
list(TRANSFORM sdk_headers PREPEND ${PROJECT_SOURCE_DIR}/)

# The same headers as a user sees them, in the build tree, for the examples built with
# the project (configure_file copies them again whenever one changes).
foreach(header ${sdk_headers})
  get_filename_component(name ${header} NAME)
  configure_file(${header} ${PROJECT_BINARY_DIR}/include/scopecap/${name} COPYONLY)
endforeach()
target_include_directories(platform_api INTERFACE $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)

# platformname holds the program's name that the serial layers' messages start with
set(sdk_libraries platformname platform serial iss scope)
foreach(library ${sdk_libraries})
  set_target_properties(${library} PROPERTIES OUTPUT_NAME scopecap-${library})
endforeach()
# The names a user's CMakeLists.txt links, here too; each with the platform layer, which
# the tests swap for their own under the serial link.
foreach(library iss scope)
  add_library(sdk_${library} INTERFACE)
  target_link_libraries(sdk_${library} INTERFACE ${library} platform)
  add_library(scopecap::${library} ALIAS sdk_${library})
endforeach()

install(FILES ${sdk_headers} DESTINATION ${sdk_include}/scopecap COMPONENT dev)
# the programs to start from, where Debian keeps a package's examples
if(WIN32)
  set(sdk_examples sdk/examples)
else()
  set(sdk_examples ${CMAKE_INSTALL_DATADIR}/doc/libscopecap-dev/examples)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt ${PROJECT_SOURCE_DIR}/examples/led_walk.cpp
  ${PROJECT_SOURCE_DIR}/examples/scope_capture.cpp DESTINATION ${sdk_examples} COMPONENT dev)
install(TARGETS platform_api ${sdk_libraries} EXPORT scopecapTargets
  ARCHIVE DESTINATION ${sdk_lib} COMPONENT dev
  INCLUDES DESTINATION ${sdk_include})
install(EXPORT scopecapTargets NAMESPACE scopecap:: DESTINATION ${sdk_lib}/cmake/scopecap COMPONENT dev)
write_basic_package_version_file(scopecapConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES sdk/scopecapConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/scopecapConfigVersion.cmake
  DESTINATION ${sdk_lib}/cmake/scopecap COMPONENT dev)

# pkg-config: the prefix is found from the .pc file's own folder. With MinGW-w64 the
# platform layer's compile flags go along (what the libraries were built with).
file(RELATIVE_PATH pc_up /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" pc_up "${pc_up}")
set(pc_cflags "")
get_target_property(definitions platform_api INTERFACE_COMPILE_DEFINITIONS)
get_target_property(options platform_api INTERFACE_COMPILE_OPTIONS)
foreach(definition IN LISTS definitions)
  if(definition)
    string(APPEND pc_cflags " -D${definition}")
  endif()
endforeach()
foreach(option IN LISTS options)
  if(option)
    string(REGEX REPLACE "^SHELL:" "" option "${option}")
    string(APPEND pc_cflags " ${option}")
  endif()
endforeach()
# the Windows ports listing reads the registry and SetupAPI's Ports class
set(pc_system_libs "")
if(WIN32)
  set(pc_system_libs " -lsetupapi -ladvapi32")
endif()
foreach(pc_library iss scope)
  if(pc_library STREQUAL iss)
    set(pc_description "USB-ISS adapter library: module commands, I2C devices, the LED driver")
  else()
    set(pc_description "oscilloscope library: commands, captures, set-up sequences")
  endif()
  configure_file(sdk/scopecap.pc.in scopecap-${pc_library}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/scopecap-${pc_library}.pc DESTINATION ${sdk_lib}/pkgconfig COMPONENT dev)
endforeach()

if(NOT WIN32)
  # Two packages from the one install: the programs as before, and libscopecap-dev.
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME scopecap)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME libscopecap-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  # static libraries and headers: nothing to run, so nothing it depends on
  set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
  # cpack puts CPACK_PACKAGE_DESCRIPTION_SUMMARY before every package's description,
  # so each description starts with a summary of its own instead
  set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
  set(CPACK_DEBIAN_DEV_DESCRIPTION [=[
scopecap's adapter and oscilloscope libraries for programs of your own
The headers (<scopecap/iss.h>, <scopecap/scope.h>) and static libraries of the
device library for a USB-ISS USB-to-I2C/IO adapter (module commands, an SRF08
ranger, a display with keypad, a MAX7219-type LED driver on the adapter's pins)
and of the one for a serial digital storage oscilloscope (commands, captures to
CSV, set-up sequences), with the serial link beneath them.
.
Build with pkg-config (scopecap-iss, scopecap-scope) or with CMake's
find_package(scopecap): the targets scopecap::iss and scopecap::scope. Two
examples to start from are in /usr/share/doc/libscopecap-dev/examples.]=])
  if(SCOPECAP_DEBIAN_LAYOUT)
    # as dh_strip leaves a static library: no debugging sections, no compiler notes
    list(TRANSFORM sdk_libraries PREPEND "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${sdk_lib}/libscopecap-"
      OUTPUT_VARIABLE archives)
    list(TRANSFORM archives APPEND .a)
    install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-debug --remove-section=.comment
      --remove-section=.note --enable-deterministic-archives ${archives} COMMAND_ERROR_IS_FATAL ANY)" COMPONENT dev)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libscopecap-dev COMPONENT dev)
  endif()
endif()
