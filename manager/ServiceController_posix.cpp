#include "ServiceController.h"

// No registry natively: tests hand in their own source.
ServiceController::ParameterSource ServiceController::registryParameters() {
    return [](Parameters &) {};
}
