// The Java service host against the real runtime, with -Xcheck:jni on and the Java fixtures
// standing in for the application. One virtual machine per process: one test per process.
#include "ServiceController.h"
#include "JniWarnings.h"
#include "Sync.h"
#include "TestFiles.h"
#include "TraceLog.h"

#include <gtest/gtest.h>

#include <jvmti.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace jhtest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kClasses = QV_TEST_BIN "/javahost-classes";

// Short worker delays keep the suite fast; one test keeps the real attach delay.
ServiceTimings fastTimings() {
    ServiceTimings t;
    t.attachDelay = 50ms;
    t.resumeDelay = 50ms;
    t.retryDelay = 10ms;
    return t;
}

class ServiceTest : public ::testing::Test {
  protected:
    Parameters params() {
        Parameters p;
        p.java.jvm = QV_LIBJVM;
        p.java.classpath = kClasses;
        p.java.jvmMx = 64;
        p.java.jvmMs = 0;
        p.java.jvmSs = 0;
        p.java.options = {"-Xcheck:jni"};
        p.log.stdOutput = dir / "out.log";
        p.log.stdError = dir / "err.log";
        p.log.level = "0";
        p.start.className = "fixture.Echo";
        p.stop.className = "fixture.Echo";
        return p;
    }
    static ServiceController::ParameterSource source(Parameters p) {
        return [p](Parameters &target) { target = p; };
    }
    void TearDown() override { EXPECT_EQ("", firstJniWarning(capture.text())); }

    bool waitForTrace(const std::string &line, std::size_t times, std::chrono::milliseconds timeout = 10s) {
        return pollUntil([&] { return trace.count(line) >= times; }, timeout);
    }
    // The pass trace comes just before the worker suspends itself, and a resume that arrives
    // before the suspension is lost (as intended): resume until the pass shows.
    bool resumeUntil(const std::function<void()> &resume, const std::string &line, std::size_t times) {
        return pollUntil(
            [&] {
                if (trace.count(line) >= times)
                    return true;
                resume();
                return false;
            },
            10s, 20ms);
    }
    bool waitForOutput(const std::string &text, std::size_t times = 1,
                       std::chrono::milliseconds timeout = 10s) {
        return pollUntil([&] { return countOf(readAll(dir / "out.log"), text) >= times; }, timeout);
    }

    OutputCapture capture;
    TraceLog trace;
    ScratchDir dir;
};

// Reads the answer of an HTTP GET on the loopback port; empty when nothing answers.
std::string httpGet(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
        const char request[] = "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (send(s, request, sizeof request - 1, 0) > 0) {
            char buffer[512];
            ssize_t n;
            while ((n = recv(s, buffer, sizeof buffer, 0)) > 0)
                answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(s);
    return answer;
}

TEST_F(ServiceTest, OptionListAndTraceLinesInOrder) {
    Parameters p = params();
    p.log.level = "3";
    p.java.jvmSs = 0;
    p.java.options = {"-Dquorvel.a=1", "-Xcheck:jni"};
    {
        ServiceController service(source(p), fastTimings());
        service.preparar();
        service.resumeStart();
        ASSERT_TRUE(waitForTrace("executarStart:SuspendThread", 1));
    }
    std::vector<std::string> lines = trace.all();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(0u, lines[4].find("Handle da biblioteca jvm.dll: 0x")) << lines[4];
    lines[4] = "Handle da biblioteca jvm.dll: <handle>";
    std::vector<std::string> expected = {">preparar",
                                         "parameters.load",
                                         "setParameters",
                                         "load",
                                         "Handle da biblioteca jvm.dll: <handle>",
                                         "createJVM",
                                         "Opção: -Djava.class.path=" + kClasses,
                                         "Opção: -verbose:all",
                                         "Opção: -Xmx64m",
                                         "Opção: -Xms0m",
                                         "Opção: -Dquorvel.a=1",
                                         "Opção: -Xcheck:jni",
                                         "Chamou CreateJVM",
                                         "beginThreadEx",
                                         "beginThreadEx",
                                         "executarStart:callMain",
                                         ">>callMain",
                                         "Chamou System.setOut",
                                         "Chamou System.setOut",
                                         "executarStart:SuspendThread"};
    EXPECT_EQ(expected, lines);
}

TEST_F(ServiceTest, StartAndStopRunTheServerAndAppendToTheOutputFiles) {
    writeAll(dir / "out.log", "kept out\n");
    writeAll(dir / "err.log", "kept err\n");
    Parameters p = params();
    p.start.className = "fixture.app.StartServer";
    p.start.params = {dir / "port.txt", "second"};
    p.stop.className = "fixture.app.StopServer";
    ServiceController service(source(p), fastTimings());
    service.preparar();
    EXPECT_EQ(0, service.queryStatus()) << "before the start main";
    service.resumeStart();
    ASSERT_TRUE(pollUntil([&] { return service.queryStatus() == 3; }, 10s))
        << "status " << service.queryStatus();
    int port = std::stoi(readAll(dir / "port.txt"));
    std::string answer = httpGet(port);
    EXPECT_NE(std::string::npos, answer.find("quorvel up")) << answer;
    EXPECT_TRUE(service.mainStarted());

    service.resumeStop();
    ASSERT_TRUE(pollUntil([&] { return service.queryStatus() == 6; }, 10s))
        << "status " << service.queryStatus();
    ASSERT_TRUE(waitForTrace("executarStop:SuspendThread", 1));
    EXPECT_FALSE(service.mainStarted());
    EXPECT_EQ("", httpGet(port)) << "server still answering after the stop";

    EXPECT_EQ("kept out\nstart main " + dir / "port.txt" + ",second\nstop main \n", readAll(dir / "out.log"));
    EXPECT_EQ("kept err\nstart main stderr\nstop main stderr\n", readAll(dir / "err.log"));
    EXPECT_EQ(4u, trace.count("Chamou System.setOut"));
}

TEST_F(ServiceTest, StartMainRunsOnceUntilAStopRunClearsIt) {
    Parameters p = params();
    p.start.params = {"start-run"};
    p.stop.params = {"stop-run"};
    ServiceController service(source(p), fastTimings());
    service.preparar();
    for (std::size_t pass = 1; pass <= 3; ++pass)
        ASSERT_TRUE(resumeUntil([&] { service.resumeStart(); }, "executarStart:SuspendThread", pass)) << pass;
    EXPECT_EQ(3u, trace.count("executarStart:callMain"));
    EXPECT_EQ(1u, countOf(readAll(dir / "out.log"), "args=1 [start-run]"));

    service.resumeStop();
    ASSERT_TRUE(waitForTrace("executarStop:SuspendThread", 1));
    ASSERT_TRUE(resumeUntil([&] { service.resumeStart(); }, "executarStart:SuspendThread", 4));
    EXPECT_EQ("out thread=start-run daemon=true args=1 [start-run]\n"
              "out thread=stop-run daemon=true args=1 [stop-run]\n"
              "out thread=start-run daemon=true args=1 [start-run]\n",
              readAll(dir / "out.log"));
}

TEST_F(ServiceTest, ResumeWhileTheStopRunIsBusyHasNoEffect) {
    Parameters p = params();
    p.stop.className = "fixture.SlowStop";
    p.stop.params = {"800"};
    ServiceController service(source(p), fastTimings());
    service.preparar();
    service.resumeStop();
    ASSERT_TRUE(waitForOutput("slow stop begins"));
    service.resumeStop();
    service.resumeStop();
    ASSERT_TRUE(waitForTrace("executarStop:SuspendThread", 1));
    // A queued resume would start a second run within the resume delay (50 ms).
    EXPECT_FALSE(pollUntil([&] { return trace.count("executarStop:callMain") > 1; }, 1s));
    EXPECT_EQ(1u, countOf(readAll(dir / "out.log"), "slow stop done"));
}

TEST_F(ServiceTest, EmptyParameterListNamesTheWorkerAfterTheClass) {
    Parameters p = params();
    p.start.params.clear();
    ServiceController service(source(p), fastTimings());
    service.preparar();
    service.resumeStart();
    ASSERT_TRUE(waitForOutput("out "));
    EXPECT_EQ("out thread=fixture.Echo daemon=true args=0\n", readAll(dir / "out.log"));
}

TEST_F(ServiceTest, StatusIsZeroUntilTheStartMainRunsAfterTheAttachDelay) {
    Parameters p = params();
    p.start.className = "fixture.Blocks"; // sets status 3 at once
    ServiceTimings t = fastTimings();
    t.attachDelay = 5000ms; // the real delay
    ServiceController service(source(p), t);
    service.preparar();
    auto resumed = Clock::now();
    service.resumeStart();
    ASSERT_TRUE(waitForTrace(">>callMain", 1));
    EXPECT_EQ(0, service.queryStatus());
    ASSERT_TRUE(pollUntil([&] { return service.queryStatus() == 3; }, 15s));
    auto waited = Clock::now() - resumed;
    EXPECT_GE(waited, 5000ms) << std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()
                              << " ms";
}

TEST_F(ServiceTest, NoVirtualMachineWhenTheRuntimeCannotBeLoaded) {
    Parameters p = params();
    p.java.jvm = dir / "no-such-runtime.so";
    ServiceController service(source(p), fastTimings());
    EXPECT_EQ(0, service.queryStatus()) << "before preparar";
    service.preparar();
    EXPECT_EQ(5u, trace.count("load")) << "a runtime on a drive not ready yet loads later";
    EXPECT_EQ(0u, trace.count("createJVM"));
    EXPECT_FALSE(service.javaStarted()) << "no workers without a machine";
    const std::string text = service.failureText();
    const std::string head = "Não foi possível carregar a máquina virtual Java:\n" + p.java.jvm + "\n";
    EXPECT_EQ(head, text.substr(0, head.size())) << text;
    EXPECT_NE(std::string::npos, text.find("no-such-runtime.so:", head.size()))
        << "the system's reason: " << text;
    EXPECT_EQ(0, service.queryStatus());
}

// -Xss1k: the runtime explains through the vfprintf hook and refuses (-1). One attempt: this
// runtime ends the process at a second one (below).
TEST_F(ServiceTest, RefusedCreationLeavesTheRuntimesWordsInTheErrorFile) {
    Parameters p = params();
    p.java.jvmSs = 1;
    ServiceTimings once = fastTimings();
    once.attempts = 1;
    ServiceController service(source(p), once);
    service.preparar();
    EXPECT_FALSE(service.javaStarted());
    const std::string words = "The Java thread stack size specified is too small";
    EXPECT_EQ(1u, countOf(readAll(dir / "err.log"), words)) << readAll(dir / "err.log");
    EXPECT_EQ("Não foi possível criar a máquina virtual Java (código -1).\n" + words +
                  ". Specify at least 136k",
              service.failureText());
    EXPECT_EQ("", capture.text()) << "nothing on the standard streams";
}

// JvmMx missing from the registry gives -Xmx0m, which the runtime refuses while reading its
// options: its words reach the hook only when the hook came first. One creation: a second one
// cannot succeed.
TEST_F(ServiceTest, MissingMaximumHeapIsRefusedOnceWithTheRuntimesWords) {
    Parameters p = params();
    p.java.jvmMx = 0;
    ServiceController service(source(p), fastTimings());
    service.preparar();
    EXPECT_FALSE(service.javaStarted());
    EXPECT_EQ(1u, trace.count("createJVM")) << "creations tried";
    const std::string words = "Invalid maximum heap size: -Xmx0m";
    const std::string text = service.failureText();
    EXPECT_EQ(0u, text.find("Não foi possível criar a máquina virtual Java (código -")) << text;
    EXPECT_NE(std::string::npos, text.find("\n" + words)) << "the box's text: " << text;
    EXPECT_EQ(1u, countOf(readAll(dir / "err.log"), words + "\r\n")) << readAll(dir / "err.log");
    EXPECT_EQ("", capture.text()) << "nothing on the standard streams";
}

// The runtime calls the hooks and expects the process to end there; the death test's child
// creates its own machine.
TEST_F(ServiceTest, SystemExitAndAFatalErrorEndTheProcessWithAStampedLine) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    Parameters p = params();
    // The child runs this test again from its start, in a scratch folder of its own: it
    // writes where this process reads.
    if (!std::getenv("QV_TEST_ERR_FILE"))
        setenv("QV_TEST_ERR_FILE", (dir / "err.log").c_str(), 1);
    p.log.stdError = std::getenv("QV_TEST_ERR_FILE");
    p.start.className = "fixture.Exits";
    p.start.params = {"3"};
    EXPECT_EXIT(
        {
            ServiceController service(source(p), fastTimings());
            service.preparar();
            service.resumeStart();
            sleepFor(10s);
        },
        ::testing::ExitedWithCode(3), "");
    const std::string exited = readAll(p.log.stdError);
    EXPECT_EQ(1u, countOf(exited, "] O programa Java encerrou o Quorvel com o código 3.\r\n")) << exited;
    EXPECT_EQ(0u, exited.find('[')) << "stamped as the log lines are: " << exited;

    // An initial heap above the maximum: the runtime gives up inside the creation.
    p.java.jvmMx = 1;
    p.java.jvmMs = 64;
    EXPECT_EXIT(
        {
            ServiceController service(source(p), fastTimings());
            service.preparar();
        },
        ::testing::ExitedWithCode(3), "");
    const std::string err = readAll(p.log.stdError);
    EXPECT_EQ(1u, countOf(err, "] A máquina virtual Java parou com um erro fatal.\r\n")) << err;
    const std::string refusal = "] Não foi possível criar a máquina virtual Java.\r\n"
                                "Error occurred during initialization of VM\r\n"
                                "Initial heap size set to a larger value than the maximum heap size\r\n";
    EXPECT_EQ(1u, countOf(err, refusal)) << "the box's text, with the runtime's words: " << err;
}

// JNI local references held by the calling thread (and any other), counted through JVMTI: the
// runtime does not warn about local references piling up outside a native method.
int jniLocalReferences() {
    RuntimeLibrary runtime; // the one the host loaded: dlopen counts references
    if (!runtime.load(QV_LIBJVM))
        return -1;
    using GetCreated = jint(JNICALL *)(JavaVM **, jsize, jsize *);
    auto getCreated = reinterpret_cast<GetCreated>(runtime.symbol("JNI_GetCreatedJavaVMs"));
    JavaVM *vm = nullptr;
    jsize count = 0;
    if (!getCreated || getCreated(&vm, 1, &count) != JNI_OK || count != 1)
        return -1;
    jvmtiEnv *jvmti = nullptr;
    if (vm->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_2) != JNI_OK)
        return -1;
    jvmtiCapabilities caps{};
    caps.can_tag_objects = 1;
    if (jvmti->AddCapabilities(&caps) != JVMTI_ERROR_NONE)
        return -1;
    jvmtiHeapCallbacks callbacks{};
    callbacks.heap_reference_callback = [](jvmtiHeapReferenceKind kind, const jvmtiHeapReferenceInfo *, jlong,
                                           jlong, jlong, jlong *, jlong *, jint, void *data) -> jint {
        if (kind == JVMTI_HEAP_REFERENCE_JNI_LOCAL)
            ++*static_cast<int *>(data);
        return 0; // roots only
    };
    int locals = 0;
    if (jvmti->FollowReferences(0, nullptr, nullptr, &callbacks, &locals) != JVMTI_ERROR_NONE)
        return -1;
    jvmti->DisposeEnvironment();
    return locals;
}

TEST_F(ServiceTest, TenThousandStatusPollsLeaveNothingBehind) {
    Parameters p = params();
    p.start.className = "fixture.Blocks";
    ServiceController service(source(p), fastTimings());
    service.preparar();
    service.resumeStart();
    ASSERT_TRUE(pollUntil([&] { return service.queryStatus() == 3; }, 10s));
    int before = jniLocalReferences();
    ASSERT_GE(before, 0) << "JVMTI unavailable";
    int last = 0;
    for (int i = 0; i < 10000; ++i)
        last = service.queryStatus();
    EXPECT_EQ(3, last);
    int after = jniLocalReferences();
    EXPECT_LE(after, before + 2) << "local references before " << before << ", after " << after;
    EXPECT_EQ("", firstJniWarning(capture.text()));
}

TEST_F(ServiceTest, ClosingWhileTheStartMainBlocksEndsPromptly) {
    Parameters p = params();
    p.start.className = "fixture.Blocks";
    auto service = std::make_unique<ServiceController>(source(p), fastTimings());
    service->preparar();
    service->resumeStart();
    ASSERT_TRUE(waitForOutput("blocking"));
    auto begin = Clock::now();
    service.reset();
    auto took = Clock::now() - begin;
    EXPECT_LT(took, 3s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

TEST_F(ServiceTest, ClosingDuringAStopRunWaitsForItWithinTheTimeout) {
    Parameters p = params();
    p.stop.className = "fixture.SlowStop";
    p.stop.params = {"1500"};
    p.stopTimeout = 20;
    auto service = std::make_unique<ServiceController>(source(p), fastTimings());
    service->preparar();
    service->resumeStop();
    ASSERT_TRUE(waitForOutput("slow stop begins"));
    service.reset();
    EXPECT_EQ(1u, countOf(readAll(dir / "out.log"), "slow stop done")) << readAll(dir / "out.log");
}

// The close box after the start was announced resumes the stop worker and ends the dialog at
// once: the stop main still runs before the machine goes.
TEST_F(ServiceTest, ClosingRightAfterAStopWasAskedForRunsTheStopMainFirst) {
    Parameters p = params();
    p.stop.className = "fixture.SlowStop";
    p.stop.params = {"100"};
    p.stopTimeout = 20;
    auto service = std::make_unique<ServiceController>(source(p), fastTimings());
    service->preparar();
    service->resumeStop();
    service.reset();
    EXPECT_EQ(1u, countOf(readAll(dir / "out.log"), "slow stop done")) << readAll(dir / "out.log");
}

// The one slow test of the time-out path: a stop run that outlasts the stop key's Timeout.
TEST_F(ServiceTest, ClosingDuringAStopRunThatOutlastsTheTimeoutEndsAtTheBound) {
    Parameters p = params();
    p.stop.className = "fixture.SlowStop";
    p.stop.params = {"60000"};
    p.stopTimeout = 2;
    auto service = std::make_unique<ServiceController>(source(p), fastTimings());
    service->preparar();
    service->resumeStop();
    ASSERT_TRUE(waitForOutput("slow stop begins"));
    auto begin = Clock::now();
    service.reset();
    auto took = Clock::now() - begin;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 5s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_EQ(0u, countOf(readAll(dir / "out.log"), "slow stop done"));
}

} // namespace
