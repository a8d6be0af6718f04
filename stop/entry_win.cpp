#include "StopTool_win.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    qvstop::runStopTool(commandLine ? commandLine : "");
    // Whatever happened, the tool ends with 0.
    return 0;
}
