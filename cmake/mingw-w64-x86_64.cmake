# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads: std::thread and
# std::mutex without extra headers). Used by scripts/build-win.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZP_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZP_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZP_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZP_MINGW}-windres)
set(CMAKE_STRIP ${ZP_MINGW}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ZP_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime linked in, so that the programs run under Wine without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
