#include "JavaExitHooks.h"

#include <unistd.h>

namespace javaExit {

void endProcess(int code) {
    _exit(code);
}

} // namespace javaExit
