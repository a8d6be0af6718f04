#include "InformarStatus.h"

#include "LauncherState.h"

extern "C" JNIEXPORT void JNICALL Java_LauncherControl_informarStatus(JNIEnv *, jobject, jint status) {
    // No check on the value: the poll treats anything outside 0-4 like 0.
    LauncherState::instance().status.store(static_cast<std::int32_t>(status));
}
