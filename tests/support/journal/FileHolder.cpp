// Holds a file open, as another program would, until the test ends it:
//     qv_file_holder.exe <path> <event name> [nodelete]
// Without sharing it locks the file; with "nodelete" others may still read and write it but
// not delete it. Signals the named event once the file is held.
#include <windows.h>

#include <cstring>

int main(int argc, char **argv) {
    if (argc < 3)
        return 2;
    const bool noDelete = argc > 3 && std::strcmp(argv[3], "nodelete") == 0;
    const DWORD access = noDelete ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = noDelete ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    HANDLE file = CreateFileA(argv[1], access, share, nullptr, OPEN_EXISTING, 0, nullptr);
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
