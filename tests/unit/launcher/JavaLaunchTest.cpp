// JavaLaunch without a usable runtime: every attempt fails and is logged, nothing is called
// through a missing entry point, and the wait ends with the flavour's time-out message.
#include "JavaLaunch.h"
#include "Flavour.h"
#include "LauncherLog.h"
#include "LauncherState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class QuietSurface : public PollSurface {
  public:
    void sleepMs(unsigned ms) override { slept.push_back(ms); }
    std::int32_t readStatus() override { return LauncherState::instance().status.load(); }
    void hideSplash() override { ++hidden; }
    void showWarning(const std::string &text) override { warnings.push_back(text); }
    std::vector<unsigned> slept;
    std::vector<std::string> warnings;
    int hidden = 0;
};

class LogLines {
  public:
    LogLines() {
        setLauncherLogSink([this](const std::string &m) { lines.push_back(m); });
    }
    ~LogLines() { setLauncherLogSink({}); }
    std::vector<std::string> lines;
};

int count(const std::vector<unsigned> &v, unsigned value) {
    int n = 0;
    for (unsigned x : v)
        n += x == value;
    return n;
}

struct Outcome {
    bool result = true;
    QuietSurface surface;
    std::vector<std::string> log;
    bool vmCreated = true;
};

void runWithRuntime(const std::string &jvmPath, Outcome &out) {
    LauncherState::instance().installDir = "D:\\APP";
    LauncherState::instance().hsqldbPort = "9002";
    LauncherState::instance().status = 0;
    LogLines log;
    ParameterReader reader;
    JavaLaunch launch(reader, out.surface, [&](LaunchParameters &p) { p.java.jvm = jvmPath; });
    out.result = launch.runAndWait(flavour::kTimeoutMessage);
    out.vmCreated = launch.maquina().vm() != nullptr;
    out.log = log.lines;
}

} // namespace

TEST(JavaLaunch, MissingRuntimeRetriesFiveTimesThenTimesOut) {
    Outcome out;
    runWithRuntime("/nonexistent/jre/bin/client/libjvm.so", out);
    EXPECT_FALSE(out.result);
    EXPECT_FALSE(out.vmCreated);
    EXPECT_EQ(10, count(out.surface.slept, JavaLaunch::kRetryPauseMs)) << "5 pauses after each failed step";
    EXPECT_EQ(301, count(out.surface.slept, kPollIntervalMs));
    EXPECT_EQ(std::vector<std::string>{flavour::kTimeoutMessage}, out.surface.warnings);
    EXPECT_EQ(0, out.surface.hidden);
    ASSERT_EQ(10u, out.log.size());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(0u, out.log[i].find("Excecao AppException: Erro ao carregar a biblioteca "
                                      "/nonexistent/jre/bin/client/libjvm.so.\nem "))
            << out.log[i];
    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(0u, out.log[i].find("Excecao AppException: Erro ao criar a máquina virtual Java"))
            << out.log[i];
}

TEST(JavaLaunch, LibraryWithoutTheEntryPointIsNeverCalled) {
    Outcome out;
    runWithRuntime("libm.so.6", out);
    EXPECT_FALSE(out.result);
    EXPECT_FALSE(out.vmCreated);
    ASSERT_EQ(10u, out.log.size());
    EXPECT_NE(std::string::npos, out.log[0].find("Erro ao localizar JNI_CreateJavaVM em libm.so.6."))
        << out.log[0];
    EXPECT_EQ(std::vector<std::string>{flavour::kTimeoutMessage}, out.surface.warnings);
}
