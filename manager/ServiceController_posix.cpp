#include "ServiceController.h"

#include <cstdlib>

// No registry natively: tests hand in their own source.
ServiceController::ParameterSource ServiceController::registryParameters() {
    return [](Parameters &) {};
}

void ServiceController::endProcess() {
    std::_Exit(0);
}
