# Which system's radio support a build carries: one folder under src/platform/ (and the
# radio helper's per-system parts under src/helper/). Nothing under src/ asks which system
# it is built for; it asks this. "none" builds everything but the radio support, on any
# system: the emulated radio works, a real one is never looked for.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(quenfall_platform_default linux)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(quenfall_platform_default windows)
else()
  set(quenfall_platform_default none)
endif()
set(QUENFALL_PLATFORM "${quenfall_platform_default}" CACHE STRING
    "The system whose radio support is built: linux, windows or none")
set_property(CACHE QUENFALL_PLATFORM PROPERTY STRINGS linux windows none)
if(NOT QUENFALL_PLATFORM MATCHES "^(linux|windows|none)$")
  message(FATAL_ERROR "QUENFALL_PLATFORM must be linux, windows or none, not '${QUENFALL_PLATFORM}'")
endif()
message(STATUS "Radio support: ${QUENFALL_PLATFORM}")
