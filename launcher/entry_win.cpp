#include "Launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    return runLauncher(instance, showCommand);
}
