#include "JavaExitHooks.h"

#include <windows.h>

namespace javaExit {

void endProcess(int code) {
    // Not ExitProcess: it would run the runtime library's detach code and the C runtime's
    // clean-up while other threads of the runtime are stopped holding their locks.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;)
        Sleep(INFINITE);
}

} // namespace javaExit
