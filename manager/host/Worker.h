// A worker thread created suspended that suspends itself after each unit of work.
// Resumes follow ResumeThread: a resume while the thread is running (not suspended) has no
// effect and is not remembered, so pressing "stop" twice during a stop run runs it once.
// On Windows the real SuspendThread/ResumeThread are used; natively an equivalent.
#pragma once

#include <functional>
#include <memory>

class Worker {
  public:
    Worker();
    ~Worker(); // neither waits for nor ends the thread: finish() does that
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Creates the thread suspended. stackSize is passed to the system as given (0: default).
    bool create(std::function<void()> routine, unsigned stackSize);
    bool created() const;

    // True when the thread was suspended and now runs; false while it is busy (no effect).
    bool resume();
    // Called by the worker thread itself; returns once resumed, or at once after finish().
    void suspendSelf();

    // Stops further self-suspension and resumes the thread until it ends. True when it ended
    // within timeoutMs; otherwise it is left running on its own.
    bool finish(unsigned timeoutMs);

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};
