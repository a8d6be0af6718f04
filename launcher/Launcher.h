// The launcher's process entry and set-up thread.
#pragma once

#include <windows.h>

#include <functional>

// The entry: single-instance rule, splash window, set-up thread, message loop. Exit code 0.
int runLauncher(HINSTANCE instance, int showCommand);

// Runs the set-up thread's work under its guard: an AppException puts its full description in
// the log and only its message in a box; anything else shows "Ocorreu um erro inesperado.".
// In every case the splash window is closed afterwards (CMD_CLOSE_SPLASH).
void runGuarded(HWND splash, const std::function<void()> &work);
void postClose(HWND splash);

// How long the Java virtual machine's tear-down may take, once the Java program reported its
// window gone, before the process ends anyway.
inline constexpr unsigned kTeardownBoundMs = 10000;
