#include "LauncherState.h"

LauncherState &LauncherState::instance() {
    // Never destroyed: a late informarStatus from a Java thread may still arrive while the
    // process ends.
    static LauncherState *state = new LauncherState;
    return *state;
}
