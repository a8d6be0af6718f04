// Light checks of the stand-in runtime itself; its real test is its use by the host tests.
#include "FakeJvmFiles.h"
#include "JvmCalls.h"

#include <gtest/gtest.h>

using namespace qvtest;

namespace {

TEST(FakeJvm, ExportsUndecoratedEntryPointsAndRecordsOptions) {
    FakeJvmDir dir("fakejvm_exports");
    ASSERT_TRUE(dir.dllCopied()) << binPath("fakejre\\jvm.dll");
    ASSERT_TRUE(dir.writeScript("main demo.Hello returns\n"));
    RuntimeLibrary lib;
    ASSERT_TRUE(lib.load(dir.dllPath()));
    ASSERT_NE(nullptr, lib.createJavaVM());
    ASSERT_NE(nullptr, lib.getDefaultInitArgs());

    JvmInitArgs args({"-Xmx64m", "-Dx=y"});
    JavaVM *vm = reinterpret_cast<JavaVM *>(1);
    JNIEnv *env = reinterpret_cast<JNIEnv *>(1);
    ASSERT_EQ(JNI_OK, createJavaVM(lib, args, &vm, &env));
    ASSERT_NE(nullptr, env);
    MainRun run;
    run.className = "demo.Hello";
    run.params = {"p1"};
    run.stdOutput = dir / "out.log";
    run.stdError = dir / "missing\\err.log";
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_EQ(JNI_OK, vm->DestroyJavaVM());
    lib.unload();

    std::vector<std::string> expected = {"JNI_CreateJavaVM version=0x10004 options=2 ignoreUnrecognized=1",
                                         "option -Xmx64m", "option -Dx=y"};
    std::vector<std::string> events = dir.events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(expected, std::vector<std::string>(events.begin(), events.begin() + 3));
    EXPECT_EQ(1u, dir.count("setOut " + run.stdOutput)) << "got " << dir.count("setOut");
    EXPECT_EQ(0u, dir.count("setErr")) << "the error file's folder is missing";
    EXPECT_EQ(1u, dir.count("main begin demo/Hello args=1 [p1]"));
    EXPECT_EQ(0u, dir.count("ERROR"));
    EXPECT_EQ(1u, dir.count("unload FreeLibrary inside=0"));
}

TEST(FakeJvm, ScriptedCreationFailureAndStatusTimeline) {
    FakeJvmDir failing("fakejvm_fail");
    ASSERT_TRUE(failing.writeScript("create fail -6\n"));
    {
        RuntimeLibrary lib;
        ASSERT_TRUE(lib.load(failing.dllPath()));
        JvmInitArgs args({});
        JavaVM *vm = nullptr;
        JNIEnv *env = nullptr;
        EXPECT_EQ(-6, createJavaVM(lib, args, &vm, &env));
        EXPECT_EQ(nullptr, vm);
    }

    FakeJvmDir timed("fakejvm_status");
    ASSERT_TRUE(timed.writeScript(
        "status 1 at 0ms, 3 at 300ms\nmain a.Start returns\non a.Start status 6 after 0\n"));
    RuntimeLibrary lib;
    ASSERT_TRUE(lib.load(timed.dllPath()));
    JvmInitArgs args({});
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    ASSERT_EQ(JNI_OK, createJavaVM(lib, args, &vm, &env));
    auto status = [&] {
        LocalRef<jclass> cls(env, env->FindClass("halvane/nerel/commonLib/startup/StartQuorvel"));
        jmethodID m = env->GetStaticMethodID(cls.get(), "getTomcatStatus", "()I");
        return env->CallStaticIntMethod(cls.get(), m);
    };
    int first = status();
    EXPECT_EQ(1, first);
    EXPECT_TRUE(pollUntil([&] { return status() == 3; }, 3000)) << "status stayed at " << status();
    MainRun run;
    run.className = "a.Start";
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_EQ(6, status());
    vm->DestroyJavaVM();
}

} // namespace
