// The launcher's process entry and set-up thread.
#pragma once

#include <windows.h>

// The entry: single-instance rule, splash window, set-up thread, message loop. Exit code 0.
int runLauncher(HINSTANCE instance, int showCommand);

// How long the Java virtual machine's tear-down may take before the process ends anyway.
inline constexpr unsigned kTeardownBoundMs = 10000;
