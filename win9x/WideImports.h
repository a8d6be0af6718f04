// The "A"-form stand-ins that the 32-bit programs bind the compiler runtime's wide-character
// imports to (WideImports.cpp). Declared here so the tests can drive the name conversion.
#pragma once

#include <windows.h>

namespace qv::win9x {

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name);
HMODULE WINAPI getModuleHandle(LPCWSTR name);
HMODULE WINAPI loadLibrary(LPCWSTR name);

} // namespace qv::win9x
