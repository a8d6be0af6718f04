#include "ParameterReader.h"

// Native builds have no registry: every value reads as missing. Tests that need values
// derive from ParameterReader.
std::string ParameterReader::readValue(const std::string &, const std::string &) const {
    return {};
}
