#include "ServiceController.h"

#include <cstdlib>

// No registry natively: tests hand in their own source.
ServiceController::ParameterSource ServiceController::registryParameters() {
    return [](Parameters &) {};
}

void ServiceController::endProcess() {
    std::_Exit(0);
}

std::uint32_t ServiceController::tickMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
