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
# Debian's prebuilt compiler runtime is built for the Pentium Pro, and crt2.o runs a cmov at
# every start: the programs link the one scripts/i586-runtime.sh builds for the Pentium.
# -B finds its start-up files first, -L its libraries. Never Debian's in its place.
if(DEFINED ENV{QV_I586_RUNTIME_DIR} AND NOT "$ENV{QV_I586_RUNTIME_DIR}" STREQUAL "")
  get_filename_component(QV_I586_RUNTIME "$ENV{QV_I586_RUNTIME_DIR}/lib" ABSOLUTE)
else()
  set(QV_I586_RUNTIME /var/cache/qv-i586-runtime/lib)
endif()
execute_process(COMMAND "${CMAKE_CURRENT_LIST_DIR}/../scripts/i586-runtime.sh" --check
  RESULT_VARIABLE qv_runtime_missing ERROR_VARIABLE qv_runtime_message OUTPUT_QUIET)
if(qv_runtime_missing)
  message(FATAL_ERROR "${qv_runtime_message}")
endif()
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-B${QV_I586_RUNTIME}/ -L${QV_I586_RUNTIME}")
endforeach()
# Tests run under Wine; the wrapper keeps ctest from waiting on Wine's helper processes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
