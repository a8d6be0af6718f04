#include "RuntimeWords.h"

#include <fcntl.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <pthread.h>

namespace runtimeWords {
namespace file {

std::intptr_t open(const char *path) {
    // O_APPEND: each write lands whole at the end, whoever else appends.
    return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void append(std::intptr_t handle, const char *data, std::size_t size) {
    if (handle != kClosed && size > 0 && ::write(static_cast<int>(handle), data, size) < 0)
        return; // the words are lost; nothing to tell them to
}

void close(std::intptr_t handle) {
    ::close(static_cast<int>(handle));
}

unsigned long currentThread() {
    return static_cast<unsigned long>(pthread_self());
}

unsigned long tickMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long>(now.tv_sec) * 1000ul +
           static_cast<unsigned long>(now.tv_nsec / 1000000);
}

void yield(bool longer) {
    if (longer)
        usleep(1000);
    else
        sched_yield();
}

} // namespace file
} // namespace runtimeWords
