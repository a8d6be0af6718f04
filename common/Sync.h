// A lock, an event and a sleep that the shipped programs can use. They are built with the
// win32-thread runtime (the posix-thread one imports functions that Windows 98/ME lack), which
// has no std::mutex, std::condition_variable or std::this_thread::sleep_for.
#pragma once

#include <chrono>
#include <memory>

class Mutex {
  public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;
    void lock();
    void unlock();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class ScopedLock {
  public:
    explicit ScopedLock(Mutex &m) : m_(m) { m_.lock(); }
    ~ScopedLock() { m_.unlock(); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

  private:
    Mutex &m_;
};

// A manual-reset event: once set, every wait returns at once until it is reset.
class Event {
  public:
    explicit Event(bool initiallySet = false);
    ~Event();
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;
    void set();
    void reset();
    // True when the event is (or becomes) set within the time.
    bool wait(std::chrono::milliseconds timeout);
    bool isSet() { return wait(std::chrono::milliseconds(0)); }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

void sleepFor(std::chrono::milliseconds duration);
