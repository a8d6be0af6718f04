#include "ServiceController.h"

ServiceController::ParameterSource ServiceController::registryParameters() {
    return [](Parameters &parameters) { parameters.load(); };
}
