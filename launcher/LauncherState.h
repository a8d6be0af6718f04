// Process-wide launcher state: the status code reported by the Java monitor, the installation
// folder and the database port. Created on first use, kept until the process ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class LauncherState {
  public:
    static LauncherState &instance();

    // Written by informarStatus on a Java thread, read by the poll on setupThread.
    std::atomic<std::int32_t> status{0};
    // Set by setupThread before any Java thread exists; read-only afterwards.
    std::string installDir;
    std::string hsqldbPort;

  private:
    LauncherState() = default;
};
