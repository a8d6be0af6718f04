#include "ManagerApp.h"

#include <windows.h>

namespace {
ManagerApp theApp;
}

// The manager sets no exit code of its own.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.initInstance();
    return 0;
}
