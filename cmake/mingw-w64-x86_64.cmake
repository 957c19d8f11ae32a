# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model).
# The runtime is linked statically: otherwise the programs need
# libwinpthread-1.dll beside them, and without it they end at once.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KB6_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KB6_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KB6_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KB6_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KB6_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Tests and scripts run the programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
