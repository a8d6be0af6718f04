// The launcher's reduced parameter record: the Java and log groups of the manager's
// Parameters and one class group, filled in code with two values read from the registry.
#pragma once

#include "ParameterReader.h"
#include "Parameters.h"

#include <string>

struct LaunchParameters {
    JavaParameters java;
    LogParameters log;
    ClassParameters start;

    // The values for an installation in installDir. JavaHome and Jvm come from the registry
    // (subkey "Java") when set there, unchanged; otherwise from the installation's own runtime.
    static LaunchParameters forInstallation(const std::string &installDir, const std::string &hsqldbPort,
                                            const ParameterReader &reader);
};
