// preparar's step guard and retries, with steps made to fail through the test seam; the
// teardown's bound on the destruction of the machine.
#include "DebugTrace.h"
#include "ServiceController.h"
#include "ServiceThread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_trace;

void sink(const char *text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string line = text;
    g_trace.push_back(line.substr(0, line.size() - 2)); // without "\r\n"
}

class FailingSteps : public ServiceController {
  public:
    FailingSteps(int loadFailures, int createFailures)
        : ServiceController([](Parameters &) { throw std::runtime_error(std::string(300, 'x')); }, timings()),
          loadFailures_(loadFailures), createFailures_(createFailures) {}

  protected:
    void runStepBody(int step) override {
        if (step == 3) {
            if (loadFailures_-- > 0)
                throw std::runtime_error("no runtime yet");
            return; // loaded, as far as preparar can tell
        }
        if (step == 4 && createFailures_-- > 0)
            throw std::runtime_error("creation refused");
        ServiceController::runStepBody(step);
    }

  private:
    static ServiceTimings timings() {
        ServiceTimings t;
        t.retryDelay = std::chrono::milliseconds(1);
        return t;
    }
    int loadFailures_;
    int createFailures_;
};

class StepGuard : public ::testing::Test {
  protected:
    StepGuard() {
        g_trace.clear();
        setDebugTraceSink(sink);
    }
    ~StepGuard() override { setDebugTraceSink(nullptr); }
};

// No workers follow a machine that was never created. A refused creation is not tried again:
// the runtime's answer would not change.
TEST_F(StepGuard, FailedStepsAreTracedWithTheirMessageAndTheLoadRetriedUpToFiveTimes) {
    {
        FailingSteps service(2, 99);
        service.preparar();
        EXPECT_FALSE(service.javaStarted());
        EXPECT_EQ(0, service.runStep(0));
        EXPECT_EQ(0, service.runStep(5));
    }
    std::vector<std::string> expected = {">preparar",
                                         "parameters.load",
                                         std::string(255, 'x'),
                                         "setParameters",
                                         "load",
                                         "no runtime yet",
                                         "load",
                                         "no runtime yet",
                                         "load"};
    expected.push_back("createJVM");
    expected.push_back("creation refused");
    std::lock_guard<std::mutex> lock(g_mutex);
    EXPECT_EQ(expected, g_trace);
}

TEST_F(StepGuard, RunStepReportsOneForAThrowingStep) {
    FailingSteps service(1, 0);
    EXPECT_EQ(1, service.runStep(1)); // the parameter source throws
    EXPECT_EQ(0, service.runStep(2));
    EXPECT_EQ(1, service.runStep(3));
    EXPECT_EQ(0, service.runStep(3));
}

// The end-to-end test shows the floor with a short Timeout; a longer one must win.
TEST(DestroyBound, IsTheStopTimeoutButNeverLessThanAMinute) {
    const std::pair<std::int32_t, long long> cases[] = {{0, 60},  {-5, 60}, {2, 60},
                                                        {60, 60}, {61, 61}, {600, 600}};
    for (const auto &c : cases)
        EXPECT_EQ(c.second, ServiceController::destroyBound(c.first).count()) << "Timeout " << c.first;
}

} // namespace

namespace {

// What the service thread tells the window, in order.
class Told : public ServiceThread::Listener {
  public:
    void prepared() override { add("prepared"); }
    void prepareFailed(const std::string &) override { add("prepareFailed"); }
    void status(int) override { add("status"); }
    void tornDown() override { add("tornDown"); }
    // Waits until `n` things were told, or two seconds; answers what was.
    std::vector<std::string> atLeast(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(2), [&] { return told_.size() >= n; });
        return told_;
    }

  private:
    void add(const char *what) {
        std::lock_guard<std::mutex> lock(mutex_);
        told_.push_back(what);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> told_;
};

} // namespace

// The window may ask for the teardown after the service thread has left on a failed
// preparation (the close came before the failure's message): it still hears of the end, once,
// instead of waiting for its bound.
TEST_F(StepGuard, FailedPreparationStillTellsTheTeardownsEndOnce) {
    FailingSteps controller(5, 0);
    Told told;
    {
        ServiceThread service(controller, told, std::chrono::milliseconds(10));
        ASSERT_TRUE(service.start());
        ASSERT_EQ(std::vector<std::string>{"prepareFailed"}, told.atLeast(1));
        // Most often the thread has left by now; either order must tell the end once.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        service.teardown(false);
        service.teardown(false);
        EXPECT_EQ((std::vector<std::string>{"prepareFailed", "tornDown"}), told.atLeast(2));
    }
    EXPECT_EQ(2u, told.atLeast(3).size()) << "told twice";
}
