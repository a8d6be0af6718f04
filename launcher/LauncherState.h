// Process-wide launcher state: the status code reported by the Java monitor, the installation
// folder, the database port and whether the Java side is at work. Created on first use, kept
// until the process ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class LauncherState {
  public:
    static LauncherState &instance();

    // Written by informarStatus on a Java thread, read by the poll on setupThread.
    std::atomic<std::int32_t> status{0};
    // Set by setupThread before any Java thread exists; read-only afterwards.
    std::string installDir;
    std::string hsqldbPort;

    // From the creation of the Java virtual machine until its tear-down has returned (or was
    // given up), the end of the Windows session would cut a backup or restore half way: the
    // window procedure then refuses it. Changed on setupThread (and by the tear-down watchdog),
    // read on the window's thread.
    std::atomic<bool> javaAtWork{false};
    // Runs once per change of javaAtWork, on the thread that made it. Set before setupThread starts.
    std::function<void(bool)> onJavaAtWork;
    void setJavaAtWork(bool atWork);

  private:
    LauncherState() = default;
};
