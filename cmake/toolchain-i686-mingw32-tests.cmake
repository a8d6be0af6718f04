# 32-bit build of the end-to-end drivers and stand-ins, run under 32-bit Wine through emulation
# against the shipped programs of the `windows` preset. The posix-thread variant of the compiler:
# the drivers use std::thread and GoogleTest; they never ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(QV_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Runs inside the session of scripts/wine32.sh.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine32-emulator.sh)
