# 32-bit Windows cross build of the shipped programs. The win32-thread variant of the compiler:
# the posix-thread runtime imports functions that Windows 98/ME lack (GetTickCount64,
# AddVectoredExceptionHandler, ...). It has no std::thread or std::mutex, so product code uses
# common/Sync.h. The tests are built by the x86_64 toolchain, posix-thread variant.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(QV_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Windows 98 runs on processors without the Pentium Pro's instructions (cmov, fcomi, ...).
set(CMAKE_C_FLAGS_INIT "-march=i586")
set(CMAKE_CXX_FLAGS_INIT "-march=i586")
# Tests run under Wine; the wrapper keeps ctest from waiting on Wine's helper processes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
