// The Java service host under Wine with the stand-in runtime: real threads, SuspendThread and
// ResumeThread, LoadLibrary and FreeLibrary. Each test has its own copy of the stand-in.
#include "DebugTrace.h"
#include "FakeJvmFiles.h"
#include "ServiceController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

using namespace qvtest;
using namespace std::chrono_literals;

namespace {

std::mutex g_traceMutex;
std::vector<std::string> g_trace;

void traceSink(const char *text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_trace.emplace_back(text);
}

std::size_t traceCount(const std::string &line) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return static_cast<std::size_t>(std::count(g_trace.begin(), g_trace.end(), line + "\r\n"));
}

ServiceTimings fastTimings() {
    ServiceTimings t;
    t.attachDelay = 50ms;
    t.resumeDelay = 50ms;
    t.retryDelay = 10ms;
    return t;
}

std::string joined(const std::vector<std::string> &lines) {
    std::string s;
    for (const auto &l : lines)
        s += l + "\n";
    return s;
}

class HostWinTest : public ::testing::Test {
  protected:
    explicit HostWinTest()
        : jvm(std::string("javahost_") + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        g_trace.clear();
        setDebugTraceSink(traceSink);
    }
    ~HostWinTest() override { setDebugTraceSink(nullptr); }

    Parameters params() {
        Parameters p;
        p.java.jvm = jvm.dllPath();
        p.java.classpath = "C:\\app\\classes";
        p.java.jvmMx = 128;
        p.java.jvmMs = 16;
        p.java.jvmSs = 256;
        p.java.options = {"-Dinstall.dir=C:\\app"};
        p.log.stdOutput = jvm / "out.log";
        p.log.stdError = jvm / "err.log";
        p.log.level = "1";
        p.start.className = "app.Start";
        p.start.params = {"start", "p2"};
        p.stop.className = "app.Stop";
        p.stop.params = {"stop"};
        return p;
    }
    std::unique_ptr<ServiceController> makeService(const Parameters &p, ServiceTimings t = fastTimings()) {
        return std::make_unique<ServiceController>([p](Parameters &target) { target = p; }, t);
    }
    void expectNoMisuse() {
        EXPECT_EQ(0u, jvm.count("ERROR")) << joined(jvm.eventsStarting("ERROR"));
        EXPECT_EQ(0u, jvm.count("unimplemented")) << joined(jvm.eventsStarting("unimplemented"));
    }

    FakeJvmDir jvm;
};

TEST_F(HostWinTest, StartRunOnItsOwnDaemonThreadWithOptionsAndRedirection) {
    ASSERT_TRUE(jvm.dllCopied());
    ASSERT_TRUE(jvm.writeScript("main app.Start returns\nmain app.Stop returns\n"));
    Parameters p = params();
    std::replace(p.java.jvm.begin(), p.java.jvm.end(), '\\', '/'); // loaded with backslashes
    {
        auto service = makeService(p);
        service->preparar();
        service->resumeStart();
        ASSERT_TRUE(jvm.waitFor("main end app/Start", 5000)) << joined(jvm.events());
    }
    std::vector<std::string> options = jvm.eventsStarting("option ");
    std::vector<std::string> expected = {"option -Djava.class.path=C:\\app\\classes", "option -Xmx128m",
                                         "option -Xms16m", "option -Xss256k", "option -Dinstall.dir=C:\\app"};
    EXPECT_EQ(expected, options);
    EXPECT_EQ(1u, jvm.count("AttachCurrentThreadAsDaemon name=start version=0x10004 group=null result=0"))
        << joined(jvm.events());
    EXPECT_NE(jvm.threadOf("JNI_CreateJavaVM"), jvm.threadOf("AttachCurrentThreadAsDaemon"));
    EXPECT_EQ(1u, jvm.count("FindClass app/Start found"));
    EXPECT_EQ(1u, jvm.count("setOut " + p.log.stdOutput));
    EXPECT_EQ(1u, jvm.count("setErr " + p.log.stdError));
    EXPECT_EQ(1u, jvm.count("main begin app/Start args=2 [start] [p2]"));
    // The worker leaves the machine before it is destroyed, and the library is unloaded last.
    std::vector<std::string> events = jvm.events();
    auto at = [&](const std::string &e) {
        return std::find(events.begin(), events.end(), e) - events.begin();
    };
    EXPECT_LT(at("DetachCurrentThread"), at("DestroyJavaVM begin")) << joined(events);
    EXPECT_EQ(1u, jvm.count("unload FreeLibrary inside=0")) << joined(events);
    expectNoMisuse();
}

TEST_F(HostWinTest, MissingClassMissingMainAndThrowingMainLeaveNoExceptionPending) {
    ASSERT_TRUE(
        jvm.writeScript("main app.Start nomain\nmain app.Stop throws java.lang.IllegalStateException\n"));
    Parameters p = params();
    p.log.stdOutput = jvm / "missing-folder\\out.log";
    auto service = makeService(p);
    service->preparar();
    service->resumeStart();
    ASSERT_TRUE(pollUntil([&] { return traceCount("executarStart:SuspendThread") == 1; }, 5000));
    EXPECT_TRUE(service->mainStarted());
    service->resumeStop();
    ASSERT_TRUE(jvm.waitFor("main end app/Stop threw", 5000)) << joined(jvm.events());
    ASSERT_TRUE(pollUntil([&] { return traceCount("executarStop:SuspendThread") == 1; }, 5000));
    EXPECT_FALSE(service->mainStarted());
    EXPECT_EQ(1u, jvm.count("GetStaticMethodID app/Start main ([Ljava/lang/String;)V missing"));
    EXPECT_EQ(1u,
              jvm.count("NewObject java/io/FileOutputStream path=" + p.log.stdOutput + " append=1 failed"));
    EXPECT_EQ(0u, jvm.count("setOut"));
    EXPECT_EQ(1u, jvm.count("setErr " + p.log.stdError));
    EXPECT_EQ(1u, jvm.count("ExceptionClear java/lang/IllegalStateException"));
    expectNoMisuse();
}

// One creation (the runtime's refusal would not change), then no workers: nothing is ever
// called through a machine that is not there.
TEST_F(HostWinTest, FailedCreationLeavesNoMachineAndStatusZero) {
    ASSERT_TRUE(jvm.writeScript(
        "create fail -4\ncreate says Could not reserve enough space\nmain app.Start returns\n"));
    {
        auto service = makeService(params());
        service->preparar();
        EXPECT_FALSE(service->javaStarted());
        EXPECT_EQ(
            "Não foi possível criar a máquina virtual Java (código -4).\nCould not reserve enough space",
            service->failureText());
        service->resumeStart();
        service->resumeStop();
        EXPECT_EQ(0, service->queryStatus());
    }
    EXPECT_EQ(1u, jvm.count("JNI_CreateJavaVM result=-4"));
    EXPECT_EQ(1u, jvm.count("hook vfprintf set"));
    EXPECT_EQ(0u, traceCount("beginThreadEx"));
    EXPECT_EQ(0u, jvm.count("Attach"));
    EXPECT_EQ(0u, jvm.count("FindClass"));
    EXPECT_EQ(0u, jvm.count("DestroyJavaVM"));
    expectNoMisuse();

    // A library that is no runtime: never called, and said so.
    Parameters p = params();
    p.java.jvm = "C:/windows/system32/kernel32.dll";
    auto other = makeService(p);
    other->preparar();
    EXPECT_EQ(1u + 5u, traceCount("load"));
    EXPECT_EQ(1u + 0u, traceCount("createJVM"));
    EXPECT_EQ("O arquivo C:\\windows\\system32\\kernel32.dll não é uma máquina virtual Java.",
              other->failureText());
}

TEST_F(HostWinTest, StatusFollowsTheJavaSideAndEachPollReleasesItsClass) {
    ASSERT_TRUE(jvm.writeScript(
        "status 1 at 0ms, 3 at 200ms\nmain app.Stop returns\non app.Stop status 6 after 0\n"));
    auto service = makeService(params());
    EXPECT_EQ(0, service->queryStatus()) << "before preparar";
    service->preparar();
    ASSERT_TRUE(pollUntil([&] { return service->queryStatus() == 3; }, 5000));
    service->resumeStop();
    ASSERT_TRUE(pollUntil([&] { return service->queryStatus() == 6; }, 5000));
    std::size_t finds = jvm.count("FindClass halvane/nerel/commonLib/startup/StartQuorvel found");
    EXPECT_GE(finds, 3u);
    EXPECT_EQ(finds, jvm.count("DeleteLocalRef class halvane/nerel/commonLib/startup/StartQuorvel"));
    expectNoMisuse();
}

TEST_F(HostWinTest, ResumeDuringABusyStopRunIsNotQueued) {
    ASSERT_TRUE(jvm.writeScript("main app.Stop returns after 800\n"));
    auto service = makeService(params());
    service->preparar();
    service->resumeStop();
    ASSERT_TRUE(jvm.waitFor("main begin app/Stop", 5000));
    service->resumeStop();
    service->resumeStop();
    ASSERT_TRUE(pollUntil([&] { return traceCount("executarStop:SuspendThread") == 1; }, 5000));
    EXPECT_FALSE(pollUntil([&] { return jvm.count("main begin app/Stop") > 1; }, 1000));
    EXPECT_EQ(1u, traceCount("executarStop:callMain"));
}

TEST_F(HostWinTest, ClosingWhileTheStartMainBlocksEndsPromptlyAndKeepsTheRuntimeLoaded) {
    ASSERT_TRUE(jvm.writeScript("main app.Start blocks\n"));
    auto service = makeService(params());
    service->preparar();
    service->resumeStart();
    ASSERT_TRUE(jvm.waitFor("main begin app/Start", 5000));
    DWORD begin = GetTickCount();
    service.reset();
    DWORD took = GetTickCount() - begin;
    EXPECT_LT(took, 3000u) << took << " ms";
    EXPECT_TRUE(jvm.waitFor("main hangs app/Start", 2000)) << joined(jvm.events());
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end"));
    EXPECT_EQ(0u, jvm.count("unload")) << "unloaded under a thread still inside it";
    expectNoMisuse();
}

TEST_F(HostWinTest, ClosingDuringAStopRunWaitsForIt) {
    ASSERT_TRUE(jvm.writeScript("main app.Stop returns after 1500\n"));
    Parameters p = params();
    p.stopTimeout = 20;
    auto service = makeService(p);
    service->preparar();
    service->resumeStop();
    ASSERT_TRUE(jvm.waitFor("main begin app/Stop", 5000));
    service.reset();
    std::vector<std::string> events = jvm.events();
    auto at = [&](const std::string &e) {
        return std::find(events.begin(), events.end(), e) - events.begin();
    };
    EXPECT_LT(at("main end app/Stop returned"), at("DestroyJavaVM begin")) << joined(events);
    EXPECT_EQ(1u, jvm.count("unload FreeLibrary inside=0"));
    expectNoMisuse();
}

} // namespace
