// Reads one text value below the parameters key by subkey and value name.
#pragma once

#include <string>

class ParameterReader {
public:
    virtual ~ParameterReader() = default;

    // The value as text (at most 253 characters), or empty text on any failure: key not
    // creatable with full access, value missing, neither REG_SZ nor REG_MULTI_SZ, or longer
    // than 254 bytes. A missing subkey is created empty. Keeps no state between calls.
    virtual std::string readValue(const std::string &subkey, const std::string &valueName) const;
};
