#include "JniWarnings.h"
#include "RuntimeLibrary.h"

#include <gtest/gtest.h>

TEST(RuntimeLibrary, MissingLibraryGivesNoEntryPoints) {
    RuntimeLibrary lib;
    EXPECT_FALSE(lib.load("/nonexistent/lib/server/libjvm.so"));
    EXPECT_FALSE(lib.loaded());
    EXPECT_EQ(nullptr, lib.createJavaVM());
}

// Loads the real runtime by path, as the programs load jvm.dll, and runs Java code through it.
TEST(RuntimeLibrary, CreatesAVirtualMachineFromTheRealRuntime) {
    RuntimeLibrary lib;
    ASSERT_TRUE(lib.load(QV_LIBJVM)) << QV_LIBJVM;
    CreateJavaVMFn create = lib.createJavaVM();
    ASSERT_NE(nullptr, create);
    EXPECT_NE(nullptr, lib.getDefaultInitArgs());

    OutputCapture capture;
    JavaVMOption options[1] = {{const_cast<char *>("-Xcheck:jni"), nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_4;
    args.nOptions = 1;
    args.options = options;
    args.ignoreUnrecognized = JNI_TRUE;
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    ASSERT_EQ(JNI_OK, create(&vm, reinterpret_cast<void **>(&env), &args));

    jclass math = env->FindClass("java/lang/Math");
    ASSERT_NE(nullptr, math);
    jmethodID abs = env->GetStaticMethodID(math, "abs", "(I)I");
    ASSERT_NE(nullptr, abs);
    EXPECT_EQ(42, env->CallStaticIntMethod(math, abs, -42));
    EXPECT_FALSE(env->ExceptionCheck());
    env->DeleteLocalRef(math);
    EXPECT_EQ("", firstJniWarning(capture.text()));
    // The runtime stays loaded: a process can create only one virtual machine.
    vm->DestroyJavaVM();
    EXPECT_EQ("", firstJniWarning(capture.text()));
}
