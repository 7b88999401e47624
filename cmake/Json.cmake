# quenfall_json: the JSON library (Debian's nlohmann-json3-dev, header-only) as one target.
# A native build takes the package's own CMake config. A cross build cannot (its search is
# rooted in the target's sysroot, where no such package exists), and must not add the host's
# /usr/include to its include path: that would put the host's C library headers in front of
# MinGW's. It gets a folder of its own holding only a link to the library's headers.
add_library(quenfall_json INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.10 CONFIG QUIET)
endif()
if(TARGET nlohmann_json::nlohmann_json)
  target_link_libraries(quenfall_json INTERFACE nlohmann_json::nlohmann_json)
  message(STATUS "JSON: nlohmann_json ${nlohmann_json_VERSION} from its CMake config")
else()
  find_path(QUENFALL_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH)
  if(NOT QUENFALL_NLOHMANN_INCLUDE_DIR)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
  endif()
  set(json_only "${CMAKE_BINARY_DIR}/json-include")
  file(MAKE_DIRECTORY "${json_only}")
  if(NOT EXISTS "${json_only}/nlohmann/json.hpp")
    file(CREATE_LINK "${QUENFALL_NLOHMANN_INCLUDE_DIR}/nlohmann" "${json_only}/nlohmann" SYMBOLIC)
  endif()
  target_include_directories(quenfall_json SYSTEM INTERFACE "${json_only}")
  message(STATUS "JSON: nlohmann headers from ${QUENFALL_NLOHMANN_INCLUDE_DIR}/nlohmann, alone on the include path")
endif()
