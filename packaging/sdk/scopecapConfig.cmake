# The scopecap libraries for a program of your own:
#   find_package(scopecap 1.0 CONFIG REQUIRED)
#   target_link_libraries(myprogram PRIVATE scopecap::iss)   # or scopecap::scope
# Each target brings its headers (#include <scopecap/iss.h>), the serial link and the
# platform layer beneath it, and on MinGW-w64 the compile flags they were built with.
if(NOT TARGET scopecap::serial)
  include("${CMAKE_CURRENT_LIST_DIR}/scopecapTargets.cmake")
  # the project's tests put a port of their own under the serial link; here it comes
  # with the real one
  set_property(TARGET scopecap::serial APPEND PROPERTY INTERFACE_LINK_LIBRARIES scopecap::platform)
endif()
