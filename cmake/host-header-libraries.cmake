# CLI11::CLI11 and nlohmann_json::nlohmann_json for cross builds, from the
# build host's header-only packages (Debian's libcli11-dev and
# nlohmann-json3-dev). Only their own directories are exposed, by links in the
# build tree, never the host's whole /usr/include.
set(CORVIX_HOST_INCLUDE_DIR /usr/include CACHE PATH "Where the host's CLI and nlohmann headers are")
set(_corvix_links ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_corvix_links})
foreach(dir CLI nlohmann)
  if(NOT EXISTS ${CORVIX_HOST_INCLUDE_DIR}/${dir})
    message(FATAL_ERROR "${CORVIX_HOST_INCLUDE_DIR}/${dir} not found: install libcli11-dev and nlohmann-json3-dev")
  endif()
  if(NOT EXISTS ${_corvix_links}/${dir})
    file(CREATE_LINK ${CORVIX_HOST_INCLUDE_DIR}/${dir} ${_corvix_links}/${dir} SYMBOLIC)
  endif()
endforeach()

add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_corvix_links})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_corvix_links})
