// The service parameters that the installer writes below
// HKEY_LOCAL_MACHINE\SOFTWARE\Halvane\QuorvelMgr\QUORVEL\Parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char *kParametersKey = "SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters";

struct JavaParameters {
    std::string javaHome;
    std::string jvm;
    std::vector<std::string> options;
    std::string classpath;
    int32_t jvmMs = 0;
    int32_t jvmMx = 0;
    int32_t jvmSs = 0;
};

struct LogParameters {
    std::string path;
    std::string stdError;
    std::string stdOutput;
    std::string level;
};

struct ClassParameters {
    std::string className;
    std::vector<std::string> params;
    std::string mode;
};

class Parameters {
public:
    virtual ~Parameters() = default;

    // Fills every member from the registry; missing keys and values give empty texts,
    // empty lists and 0. Never fails. Windows only.
    void load();

    JavaParameters java;
    LogParameters log;
    ClassParameters start;
    ClassParameters stop;
    int32_t stopTimeout = 0;
    std::string siteUrl;
};
