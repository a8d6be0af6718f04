// Machine-dependent JNI types for Windows. The installed JDK only ships the header for its own
// platform. The programs load a 32-bit jvm.dll, whose entry points use __stdcall; the 64-bit
// test build has a single calling convention. jint is 32 bits wide on both (LLP64).
#ifndef QV_JNI_MD_H
#define QV_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#if defined(_WIN64)
#define JNICALL
#else
#define JNICALL __stdcall
#endif

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
