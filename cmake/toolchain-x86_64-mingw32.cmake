# 64-bit Windows twin of the 32-bit build. This machine cannot run 32-bit Linux processes, so
# 32-bit Wine is out of reach: the Windows tests run this build of the same sources under
# 64-bit Wine. The posix-thread variant of the compiler is required (std::thread, GoogleTest).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(QV_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under Wine; the wrapper keeps ctest from waiting on Wine's helper processes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
