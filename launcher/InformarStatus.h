// The native side of LauncherControl.informarStatus(int): stores the code in LauncherState.
// Exported under this name, and also registered with RegisterNatives, which is how the virtual
// machine binds it (the exported name does not match the class's package).
#pragma once

#include <jni.h>

extern "C" JNIEXPORT void JNICALL Java_LauncherControl_informarStatus(JNIEnv *env, jobject self, jint status);
