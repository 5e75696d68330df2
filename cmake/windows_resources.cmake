# tavofox_windows_resources(<target> <description> [ICON <file.ico>]): gives a Windows program
# its version information, the manifest with the UTF-8 code page and, where named, its icon
# (icon resource 128, which Explorer and the task bar show).
function(tavofox_windows_resources target description)
  cmake_parse_arguments(R "" "ICON" "" ${ARGN})
  set(TAVOFOX_RC_NAME ${target})
  set(TAVOFOX_RC_DESCRIPTION "${description}")
  set(TAVOFOX_RC_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest)
  set(TAVOFOX_RC_ICON "")
  if(R_ICON)
    set(TAVOFOX_RC_ICON "128 ICON \"${R_ICON}\"")
  endif()
  set(TAVOFOX_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # The resource compiler does not see the files it embeds as dependencies.
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${TAVOFOX_RC_MANIFEST} ${R_ICON})
endfunction()
