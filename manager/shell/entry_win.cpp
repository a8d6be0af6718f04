#include "ManagerApp.h"

#include <windows.h>

namespace {
ManagerApp theApp;
}

// 0, or 1 when the Java side could not be had. A Java side that ends the process itself
// sets its own code.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.initInstance();
    return theApp.exitCode();
}
