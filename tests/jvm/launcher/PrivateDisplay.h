// A private Xvfb display for tests whose Java side shows AWT frames: a free display number,
// DISPLAY set for this process, the server killed when the object goes (or by stop()).
#pragma once

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

class PrivateDisplay {
  public:
    PrivateDisplay() {
        if (access("/usr/bin/Xvfb", X_OK) != 0)
            return;
        for (int n = 450; n < 700 && pid_ <= 0; ++n) {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            struct stat st;
            if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
                continue;
            const std::string display = ":" + std::to_string(n);
            pid_t pid = fork();
            if (pid == 0) {
                // Ends with the test process, also when a test leaves through _Exit.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
                    _exit(127);
                execl("/usr/bin/Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                      "tcp", static_cast<char *>(nullptr));
                _exit(127);
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (stat(socket.c_str(), &st) != 0 && std::chrono::steady_clock::now() < deadline &&
                   waitpid(pid, nullptr, WNOHANG) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (stat(socket.c_str(), &st) == 0) {
                pid_ = pid;
                name_ = display;
                setenv("DISPLAY", display.c_str(), 1);
            } else {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    ~PrivateDisplay() { stop(); }
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    bool ok() const { return pid_ > 0; }
    const std::string &name() const { return name_; }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    std::string name_;
};
