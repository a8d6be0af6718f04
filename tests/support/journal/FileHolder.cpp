// Holds a file open without any sharing, as another program locking it would:
//     qv_file_holder.exe <path> <event name>
// Signals the named event once the file is held, then waits to be ended by the test.
#include <windows.h>

int main(int argc, char **argv) {
    if (argc < 3)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready)
        return 3;
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(10 * 60 * 1000); // a safety net: the test kills it long before
    CloseHandle(file);
    return 0;
}
