#include <cstdio>

void platformDebugOutput(const char *text) {
    std::fputs(text, stderr);
}
