# Cross build for 64-bit Windows with Debian's mingw-w64 g++ (packages in tools/packages-windows).
# The posix thread model: g++ 12 has std::thread and std::mutex, which GoogleTest uses, only there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVOFOX_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TAVOFOX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOFOX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOFOX_MINGW_TRIPLE}-windres)

# The static Qt for Windows that tools/windows-qt builds into a cache: where it is complete,
# its own toolchain file makes it (and Debian's host Qt for moc, uic and rcc) the one found,
# and the window is built.
if(NOT TAVOFOX_WINDOWS_QT)
  if(DEFINED ENV{TAVOFOX_WINDOWS_QT})
    set(TAVOFOX_WINDOWS_QT "$ENV{TAVOFOX_WINDOWS_QT}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(TAVOFOX_WINDOWS_QT "$ENV{XDG_CACHE_HOME}/tavofox/qt6-mingw-6.4.2")
  else()
    set(TAVOFOX_WINDOWS_QT "$ENV{HOME}/.cache/tavofox/qt6-mingw-6.4.2")
  endif()
endif()
if(EXISTS "${TAVOFOX_WINDOWS_QT}/tavofox-configure.txt")
  include("${TAVOFOX_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
endif()

# Libraries and packages only from the target's root (and from a Qt for Windows named in
# CMAKE_PREFIX_PATH), never the build machine's: its Qt and GoogleTest are Linux ones.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TAVOFOX_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C and C++ runtimes (and winpthreads), so an .exe needs no DLLs of
# its own next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the test programs under Wine.
find_program(TAVOFOX_WINE NAMES wine64 wine)
if(TAVOFOX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVOFOX_WINE})
endif()
