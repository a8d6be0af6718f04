#include <windows.h>

void platformDebugOutput(const char *text) {
    OutputDebugStringA(text);
}
