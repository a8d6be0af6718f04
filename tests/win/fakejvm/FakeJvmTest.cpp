// Light checks of the stand-in runtime itself; its real test is its use by the host tests.
#include "FakeJvmFiles.h"
#include "JvmCalls.h"

#include <gtest/gtest.h>

#include <atomic>

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

std::atomic<int> g_lastCode{-1};
std::atomic<int> g_calls{0};
void JNICALL informarStatus(JNIEnv *, jclass, jint code) {
    g_lastCode = code;
    ++g_calls;
}

TEST(FakeJvm, CallsTheRegisteredNativeAtScriptedTimesAfterMain) {
    FakeJvmDir dir("fakejvm_natives");
    ASSERT_TRUE(dir.writeScript("main halvane.nerel.commonLib.integrador.backup.LauncherControl returns\n"
                                "on halvane.nerel.commonLib.integrador.backup.LauncherControl informarStatus "
                                "0 at 0ms, 4 at 300ms\n"
                                "destroy delay 200\n"));
    RuntimeLibrary lib;
    ASSERT_TRUE(lib.load(dir.dllPath()));
    JvmInitArgs args({});
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    ASSERT_EQ(JNI_OK, createJavaVM(lib, args, &vm, &env));
    const char *cls = "halvane/nerel/commonLib/integrador/backup/LauncherControl";
    LocalRef<jclass> control(env, env->FindClass(cls));
    ASSERT_TRUE(control);
    JNINativeMethod method{const_cast<char *>("informarStatus"), const_cast<char *>("(I)V"),
                           reinterpret_cast<void *>(&informarStatus)};
    ASSERT_EQ(0, env->RegisterNatives(control.get(), &method, 1));
    EXPECT_EQ(0, g_calls.load()) << "called before main";
    MainRun run;
    run.className = cls;
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_TRUE(pollUntil([] { return g_lastCode == 4; }, 3000)) << "last code " << g_lastCode;
    EXPECT_EQ(2, g_calls.load());
    EXPECT_NE(dir.threadOf("informarStatus 0"), dir.threadOf("main begin"));
    DWORD begin = GetTickCount();
    vm->DestroyJavaVM();
    EXPECT_GE(GetTickCount() - begin, 200u - qvtest::kTickSlackMs) << "scripted destroy delay";
    EXPECT_EQ(0u, dir.count("ERROR"));
}

} // namespace
