// The shared JNI plumbing against the real runtime, with -Xcheck:jni on.
#include "JvmCalls.h"
#include "JniWarnings.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace jhtest;

namespace {

const std::string kClasses = QV_TEST_BIN "/javahost-classes";

// One virtual machine per test process (the runtime allows only one).
class JvmCallsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(library.load(QV_LIBJVM)) << QV_LIBJVM;
        JavaParameters java;
        java.classpath = kClasses;
        java.jvmMx = 64;
        java.jvmMs = 16;
        java.options = {"-Xcheck:jni"};
        args = std::make_unique<JvmInitArgs>(buildJvmOptions(java, "0"));
        ASSERT_EQ(JNI_OK, createJavaVM(library, *args, &vm, &env));
    }
    void TearDown() override {
        EXPECT_EQ("", firstJniWarning(capture.text()));
        if (vm)
            vm->DestroyJavaVM();
    }

    OutputCapture capture;
    RuntimeLibrary library;
    std::unique_ptr<JvmInitArgs> args;
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    ScratchDir dir;
};

TEST_F(JvmCallsTest, RunsMainWithDottedNameRedirectingBothStreamsForAppending) {
    writeAll(dir / "out.log", "earlier out\n");
    writeAll(dir / "err.log", "earlier err\n");
    MainRun run;
    run.className = "fixture.Echo";
    run.params = {"one", "two"};
    run.stdOutput = dir / "out.log";
    run.stdError = dir / "err.log";
    std::vector<JvmStream> redirected;
    run.onRedirected = [&](JvmStream s) { redirected.push_back(s); };

    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));

    std::string out = readAll(dir / "out.log");
    EXPECT_EQ(0u, out.find("earlier out\n")) << out;
    EXPECT_EQ(2u, countOf(out, "out thread=main daemon=false args=2 [one] [two]\n")) << out;
    std::string err = readAll(dir / "err.log");
    EXPECT_EQ(0u, err.find("earlier err\n")) << err;
    EXPECT_EQ(2u, countOf(err, "err thread=main daemon=false args=2 [one] [two]\n")) << err;
    std::vector<JvmStream> expected = {JvmStream::Output, JvmStream::Error, JvmStream::Output,
                                       JvmStream::Error};
    EXPECT_EQ(expected, redirected);
    EXPECT_FALSE(env->ExceptionCheck());
}

TEST_F(JvmCallsTest, MissingClassMissingMainAndThrowingMainLeaveNoExceptionPending) {
    MainRun run;
    run.stdOutput = dir / "out.log";
    run.stdError = dir / "err.log";
    run.className = "fixture.Absent";
    EXPECT_EQ(MainOutcome::ClassMissing, runStaticMain(env, run));
    EXPECT_FALSE(env->ExceptionCheck());
    run.className = "fixture/NoMain";
    EXPECT_EQ(MainOutcome::MethodMissing, runStaticMain(env, run));
    EXPECT_FALSE(env->ExceptionCheck());
    run.className = "";
    EXPECT_EQ(MainOutcome::ClassMissing, runStaticMain(env, run));
    EXPECT_FALSE(env->ExceptionCheck());
    // Neither missing case redirects anything.
    EXPECT_FALSE(std::ifstream(dir / "out.log").good());

    run.className = "fixture.Throws";
    EXPECT_EQ(MainOutcome::Threw, runStaticMain(env, run));
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ("about to throw\n", readAll(dir / "out.log"));
}

TEST_F(JvmCallsTest, UnopenableOutputFileIsSkippedAndTheOtherStreamStillRedirected) {
    MainRun run;
    run.className = "fixture.Echo";
    run.stdOutput = dir / "no-such-folder/out.log";
    run.stdError = dir / "err.log";
    std::vector<JvmStream> redirected;
    run.onRedirected = [&](JvmStream s) { redirected.push_back(s); };

    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_EQ(std::vector<JvmStream>{JvmStream::Error}, redirected);
    EXPECT_EQ("err thread=main daemon=false args=0\n", readAll(dir / "err.log"));
    // Standard output was left alone, so Echo's line went to the process's own output.
    EXPECT_NE(std::string::npos, capture.text().find("out thread=main daemon=false args=0\n"))
        << capture.text();
    EXPECT_FALSE(redirectOutput(env, JvmStream::Output, ""));
    EXPECT_FALSE(env->ExceptionCheck());
}

TEST_F(JvmCallsTest, EmptyParameterListGivesEmptyArrayAndCodePage1252TextsArriveIntact) {
    MainRun run;
    run.className = "fixture.Echo";
    run.stdOutput = dir / "out.log";
    run.stdError = dir / "err.log";
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    run.params = {"a\xE7\xE3o \x80", ""};
    EXPECT_EQ(MainOutcome::Returned, runStaticMain(env, run));
    EXPECT_EQ("out thread=main daemon=false args=0\n"
              "out thread=main daemon=false args=2 [a\\u00e7\\u00e3o \\u20ac] []\n",
              readAll(dir / "out.log"));
}

TEST_F(JvmCallsTest, AttachedWorkerIsANamedDaemonThread) {
    std::string line;
    std::thread worker([&] {
        JNIEnv *wenv = attachDaemon(vm, "quorvel-worker");
        ASSERT_NE(nullptr, wenv);
        MainRun run;
        run.className = "fixture.Echo";
        run.stdOutput = dir / "out.log";
        run.stdError = dir / "err.log";
        EXPECT_EQ(MainOutcome::Returned, runStaticMain(wenv, run));
        vm->DetachCurrentThread();
    });
    worker.join();
    EXPECT_EQ("out thread=quorvel-worker daemon=true args=0\n", readAll(dir / "out.log"));
    EXPECT_EQ(nullptr, attachDaemon(nullptr, "x"));
}

} // namespace
