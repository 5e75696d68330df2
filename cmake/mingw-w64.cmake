# Cross build for 64-bit Windows with Debian's mingw-w64 g++ (packages in tools/packages-windows).
# The posix thread model: g++ 12 has std::thread and std::mutex, which GoogleTest uses, only there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVOFOX_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TAVOFOX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOFOX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOFOX_MINGW_TRIPLE}-windres)

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
