# What `tools/package windows` puts into the Windows installer (NSIS) and the .zip beside it:
# the window program and the command line program, the license, a Start menu entry for the
# window and an uninstaller. Both programs are single static executables: they need no DLLs
# beyond Windows' own.
install(TARGETS tavofoxctl RUNTIME DESTINATION .)
if(TARGET tavofox)
  install(TARGETS tavofox RUNTIME DESTINATION .)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME tavofox)
set(CPACK_PACKAGE_VENDOR "The tavofox developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for fox transmitter timers")
set(CPACK_PACKAGE_FILE_NAME tavofox-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY tavofox)
# The Start menu folder and the uninstaller's entry: one tavofox, whatever its version.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY tavofox)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR NSIS ZIP)

# The Start menu entry: the window program, named as it names itself.
set(CPACK_PACKAGE_EXECUTABLES tavofox tavofox)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME tavofox.exe)
set(CPACK_NSIS_DISPLAY_NAME tavofox)
set(CPACK_NSIS_PACKAGE_NAME tavofox)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/tavofox.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/icons/tavofox.ico)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer, like the programs: it runs where they run (and under a 64-bit Wine).
set(CPACK_NSIS_EXECUTABLE ${PROJECT_SOURCE_DIR}/packaging/makensis-amd64)
include(CPack)
