// The launcher's Java side on the real runtime: the real LauncherControl class (the bytes the
// programs embed) with stand-ins for the application's Launcher and backup program.
#include "AppException.h"
#include "Flavour.h"
#include "JavaLaunch.h"
#include "JniWarnings.h"
#include "LauncherLog.h"
#include "LauncherState.h"
#include "MaquinaJava.h"
#include "PrivateDisplay.h"
#include "TeardownWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {
constexpr unsigned kTeardownBoundForTestMs = 4000;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t countOf(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

// Records what the poll does; sleeps for real (the Java side runs on real time).
class RecordingSurface : public PollSurface {
  public:
    void sleepMs(unsigned ms) override {
        if (firstSleepMs == 0)
            firstSleepMs = nowMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::int32_t readStatus() override {
        const std::int32_t code = LauncherState::instance().status.load();
        if (codes.empty() || codes.back() != code)
            codes.push_back(code);
        return code;
    }
    void hideSplash() override { ++hidden; }
    void showWarning(const std::string &text) override { warnings.push_back(text); }

    std::int64_t firstSleepMs = 0; // just after the main-call thread was resumed
    std::vector<std::int32_t> codes;
    int hidden = 0;
    std::vector<std::string> warnings;
};

// One installation folder per test, with the monitor class where the launcher writes it.
class Installation {
  public:
    Installation() {
        root_ = fs::temp_directory_path() / ("qv-launcher-" + std::to_string(getpid()));
        fs::remove_all(root_);
        const fs::path classes = root_ / "classes/halvane/nerel/commonLib/integrador/backup";
        fs::create_directories(classes);
        fs::copy_file(QV_LAUNCHER_CLASS, classes / "LauncherControl.class");
        output_ = (root_ / "backupw.log").string();
        std::ofstream(output_) << "earlier line\n";
    }
    ~Installation() { cleanup(); }
    void cleanup() { fs::remove_all(root_); }
    std::string classPath() const { return (root_ / "classes").string() + ":" + QV_LAUNCHER_FIXTURES; }
    std::string emptyClassPath() const { return QV_LAUNCHER_FIXTURES; }
    const std::string &output() const { return output_; }

  private:
    fs::path root_;
    std::string output_;
};

// The launcher's parameters with Linux paths, the real runtime and JNI checking.
std::function<void(LaunchParameters &)> adjustFor(const Installation &inst, const std::string &plan,
                                                  const std::string &classPath = {}) {
    return [&inst, plan, classPath](LaunchParameters &p) {
        p.java.jvm = QV_LIBJVM;
        p.java.classpath = classPath.empty() ? inst.classPath() : classPath;
        p.java.options.push_back("-Xcheck:jni");
        p.java.options.push_back("-Dqvtest.frame=" + plan);
        p.log.stdOutput = inst.output();
        p.log.stdError = inst.output();
    };
}

class LogLines {
  public:
    LogLines() {
        setLauncherLogSink([this](const std::string &m) {
            std::lock_guard<std::mutex> lock(m_);
            lines_.push_back(m);
        });
    }
    ~LogLines() { setLauncherLogSink({}); }
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(m_);
        return lines_;
    }

  private:
    std::mutex m_;
    std::vector<std::string> lines_;
};

void prepareState() {
    LauncherState::instance().installDir = "/opt/quorvel";
    LauncherState::instance().hsqldbPort = "9002";
    LauncherState::instance().status = 0;
}

std::int64_t launcherCreatedAt(const std::string &output) {
    const std::string marker = "Launcher(" + std::string(flavour::kMainClass) + ") at ";
    auto p = output.find(marker);
    return p == std::string::npos ? 0 : std::stoll(output.substr(p + marker.size()));
}

} // namespace

class LauncherOnRealRuntime : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!display.ok())
            GTEST_SKIP() << "Xvfb is missing: the Java side's frames need a display";
        prepareState();
    }
    PrivateDisplay display;
    Installation inst;
    RecordingSurface surface;
    ParameterReader reader;
};

TEST_F(LauncherOnRealRuntime, WindowShownThenDisposedReportsFourThenThree) {
    OutputCapture capture;
    LogLines log;
    auto launch = std::make_unique<JavaLaunch>(reader, surface, adjustFor(inst, "1500,4000,dispose"));
    const bool result = launch->runAndWait(flavour::kTimeoutMessage);

    EXPECT_TRUE(result);
    EXPECT_EQ((std::vector<std::int32_t>{0, 4, 3}), surface.codes);
    EXPECT_EQ(1, surface.hidden);
    EXPECT_TRUE(surface.warnings.empty()) << surface.warnings.front();
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();

    // A disposed frame lets the runtime go: the tear-down ends well within the bound.
    const auto start = std::chrono::steady_clock::now();
    launch.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTeardownBoundForTestMs));

    const std::string out = readAll(inst.output());
    EXPECT_EQ(0u, out.find("earlier line\n")) << "appended, not truncated:\n" << out;
    EXPECT_EQ(1u, countOf(out, "Launcher(" + std::string(flavour::kMainClass) + ")")) << out;
    EXPECT_EQ(1u, countOf(out, "JBackup.main args=0")) << out;
    EXPECT_EQ(1u, countOf(out, "JBackup on standard error")) << out;

    const std::int64_t created = launcherCreatedAt(out);
    ASSERT_NE(0, created) << out;
    // The poll's first sleep comes a moment after the resume, and both readings are truncated
    // milliseconds taken on different threads: allow a little under the 5 s.
    EXPECT_GE(created - surface.firstSleepMs, 4950) << "main called too soon after the resume";
    EXPECT_EQ("", firstJniWarning(capture.text()));
}

// A frame that is hidden but not disposed counts as gone for the monitor, and keeps the
// runtime's AWT thread alive: DestroyJavaVM would wait for ever. The bound ends the wait.
TEST_F(LauncherOnRealRuntime, HiddenFrameCountsAsGoneAndTheTeardownIsBounded) {
    auto launch = std::make_unique<JavaLaunch>(reader, surface, adjustFor(inst, "1500,3000,hide"));
    EXPECT_TRUE(launch->runAndWait(flavour::kTimeoutMessage));
    EXPECT_EQ((std::vector<std::int32_t>{0, 4, 3}), surface.codes);
    EXPECT_EQ(1, surface.hidden);

    const auto start = std::chrono::steady_clock::now();
    // No quiet period and no look at windows: those are X windows here.
    TeardownWatchdog watchdog({0, kTeardownBoundForTestMs, 50}, {}, [&] {
        const auto waited = std::chrono::steady_clock::now() - start;
        const bool ok = waited >= std::chrono::milliseconds(kTeardownBoundForTestMs) &&
                        !::testing::UnitTest::GetInstance()->current_test_info()->result()->Failed();
        std::printf(
            "tear-down still running after %lld ms: bound reached, process ends (%s)\n",
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()),
            ok ? "as expected" : "with earlier failures");
        std::fflush(stdout);
        inst.cleanup();         // Xvfb goes with the process; stopping it first would make AWT exit(1)
        std::_Exit(ok ? 0 : 1); // what the launcher does: end whatever the Java side does
    });
    launch.reset();
    watchdog.disarm();
    ADD_FAILURE() << "DestroyJavaVM returned although a hidden frame keeps the AWT thread alive";
}

TEST_F(LauncherOnRealRuntime, NoWindowTimesOutThenTheMonitorReportsOne) {
    auto launch = std::make_unique<JavaLaunch>(reader, surface, adjustFor(inst, "none"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(launch->runAndWait(flavour::kTimeoutMessage));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(std::vector<std::string>{flavour::kTimeoutMessage}, surface.warnings);
    EXPECT_GE(waited, std::chrono::seconds(60));
    EXPECT_EQ(0, surface.hidden);
    // The monitor started 5 s after the resume, so its own time-out (301 checks of 200 ms)
    // comes a few seconds after the launcher's.
    const bool one = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (LauncherState::instance().status.load() == STATUS_ERRO)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }();
    EXPECT_TRUE(one) << "got status " << LauncherState::instance().status.load() << ", expected 1";
}

// runMain passes exactly `count` arguments, the flavour's main class first, and calls nothing
// when the class is missing.
TEST_F(LauncherOnRealRuntime, MainGetsExactlyOneArgumentAndMissingClassesCallNothing) {
    OutputCapture capture;
    LaunchParameters p = LaunchParameters::forInstallation("/opt/quorvel", "9002", reader);
    adjustFor(inst, "none")(p);
    MaquinaJava jvm;
    jvm.setParameters(p);
    jvm.carregaDLL();
    jvm.createJVM();
    std::vector<unsigned> slept;
    std::thread([&] {
        jvm.runMain("fixture.ArgsRecorder", {flavour::kMainClass, "second"}, 1,
                    [&](unsigned ms) { slept.push_back(ms); });
        jvm.runMain("fixture.NotThere", {flavour::kMainClass}, 1, [&](unsigned ms) { slept.push_back(ms); });
    }).join();
    EXPECT_EQ((std::vector<unsigned>{5000, 5000}), slept);
    const std::string out = readAll(inst.output());
    EXPECT_EQ(1u, countOf(out, "ArgsRecorder.main count=1 [" + std::string(flavour::kMainClass) + "]\n"))
        << out;
    EXPECT_EQ(0u, countOf(out, "second")) << out;
    EXPECT_EQ(1u, countOf(out, "NoClassDefFoundError: fixture/NotThere"))
        << "the pending exception is printed to the redirected standard error:\n"
        << out;
    jvm.destroyJVM();
    EXPECT_EQ(nullptr, jvm.vm());
    EXPECT_EQ("", firstJniWarning(capture.text()));
}

TEST_F(LauncherOnRealRuntime, MissingMonitorClassFailsTheStepWithItsMessage) {
    LaunchParameters p = LaunchParameters::forInstallation("/opt/quorvel", "9002", reader);
    adjustFor(inst, "none", inst.emptyClassPath())(p);
    MaquinaJava jvm;
    jvm.setParameters(p);
    jvm.carregaDLL();
    try {
        jvm.createJVM();
        ADD_FAILURE() << "expected AppException";
    } catch (const AppException &e) {
        EXPECT_EQ("Erro ao instânciar classe nativa.", e.message());
    }
    // A retry reuses the machine instead of creating a second one in the process.
    try {
        jvm.createJVM();
        ADD_FAILURE() << "expected AppException";
    } catch (const AppException &e) {
        EXPECT_EQ("Erro ao instânciar classe nativa.", e.message());
    }
    EXPECT_NE(nullptr, jvm.vm());
    jvm.destroyJVM();
}
