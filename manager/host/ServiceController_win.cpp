#include "ServiceController.h"

#include <windows.h>

ServiceController::ParameterSource ServiceController::registryParameters() {
    return [](Parameters &parameters) { parameters.load(); };
}

void ServiceController::endProcess() {
    // Not ExitProcess: it would run the runtime library's detach code while a thread is stuck
    // inside that library. The exit code stays 0.
    TerminateProcess(GetCurrentProcess(), 0);
}

std::uint32_t ServiceController::tickMs() {
    return GetTickCount();
}
