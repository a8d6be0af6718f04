#include "JournalRestore.h"

#include <windows.h>

// Until the starting dialog exists the manager only undoes an interrupted update and ends.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runJournalRecovery();
    return 0;
}
