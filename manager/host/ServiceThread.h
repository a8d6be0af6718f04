// The Java side's own thread: it makes the runtime and the machine (with their retries), polls
// the status once a period, and tears the machine down when asked. The window's thread only
// asks and takes the answers, so no Java method and no retry pause ever holds it.
//
// Usage, from the window's thread:
//   ServiceThread service(controller, listener);
//   service.start();            // listener.prepared() or prepareFailed(text), on this thread
//                               // then listener.status(n) once a period
//   service.teardown(true);     // ends the polls; bounded teardown; listener.tornDown()
// The listener's calls come on the service thread: it hands them to the window (a posted
// message) and never waits there.
#pragma once

#include "ServiceController.h"
#include "Sync.h"
#include "Worker.h"

#include <atomic>
#include <chrono>
#include <string>

class ServiceThread {
  public:
    struct Listener {
        virtual ~Listener() = default;
        virtual void prepared() = 0;
        virtual void prepareFailed(const std::string &text) = 0;
        virtual void status(int status) = 0;
        virtual void tornDown() = 0;
    };

    ServiceThread(ServiceController &controller, Listener &listener,
                  std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    // Waits a short while for a thread that has finished its work; one stuck in Java is left
    // to the end of the process.
    ~ServiceThread();
    ServiceThread(const ServiceThread &) = delete;
    ServiceThread &operator=(const ServiceThread &) = delete;

    bool start();
    // The polls end after the one under way; a preparation under way stops at its next pause.
    // `waitForStop` false skips the wait on a stop pass that has had its time. Once only.
    void teardown(bool waitForStop);
    bool started() const { return worker_.created(); }

  private:
    void run();

    ServiceController &controller_;
    Listener &listener_;
    std::chrono::milliseconds period_;
    Worker worker_;
    Event teardownAsked_;
    std::atomic<bool> waitForStop_{true};
    std::atomic<bool> asked_{false};
    std::atomic<bool> done_{false};
    // Who tells tornDown when the preparation failed: the thread that ends first of the two,
    // the service thread leaving or the window asking for the teardown.
    std::atomic<bool> leftOrAsked_{false};
};
