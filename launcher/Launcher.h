// The launcher's process entry and set-up thread.
#pragma once

#include <windows.h>

#include "TeardownWatchdog.h"

#include <functional>

// The entry: single-instance rule, splash window, set-up thread, message loop. Exit code 0.
int runLauncher(HINSTANCE instance, int showCommand);

// Runs the set-up thread's work under its guard: an AppException puts its full description in
// the log and only its message in a box; anything else shows "Ocorreu um erro inesperado.".
// In every case the splash window is closed afterwards (CMD_CLOSE_SPLASH).
void runGuarded(HWND splash, const std::function<void()> &work);
void postClose(HWND splash);

// How long the Java virtual machine's tear-down may take, once the Java program reported its
// window gone, before the process ends anyway: 10 s, counted only after 30 s without any window
// of the process on screen. 30 s lets a program close one dialog, work and open the next; a
// hidden frame left behind still lets go of the single-instance mutex within 40 s.
inline constexpr TeardownTiming kTeardownTiming{30000, 10000, 250};

// True when a top-level window of this process other than `except` is visible.
bool processShowsWindow(HWND except);
