#include "LauncherState.h"

LauncherState &LauncherState::instance() {
    // Never destroyed: a late informarStatus from a Java thread may still arrive while the
    // process ends.
    static LauncherState *state = new LauncherState;
    return *state;
}

void LauncherState::setJavaAtWork(bool atWork) {
    // The exchange lets only one of two threads that end the span at once pass the change on.
    if (javaAtWork.exchange(atWork) != atWork && onJavaAtWork)
        onJavaAtWork(atWork);
}
