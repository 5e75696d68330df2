# CLI11 is header-only. A cross build does not look for packages outside the target's root,
# so it takes the build machine's headers through a folder that holds nothing else.
find_package(CLI11 CONFIG QUIET)
if(NOT CLI11_FOUND)
  find_path(TAVOFOX_CLI11_HEADERS CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${cli11_include})
  file(CREATE_LINK ${TAVOFOX_CLI11_HEADERS}/CLI ${cli11_include}/CLI SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_include})
endif()
