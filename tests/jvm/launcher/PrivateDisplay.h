// A private Xvfb display for tests whose Java side shows AWT frames. Xvfb picks a free display
// number itself (-displayfd), so tests running side by side never share one; DISPLAY is set for
// this process, and the server ends with the object, or with the process however it ends.
#pragma once

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class PrivateDisplay {
  public:
    PrivateDisplay() {
        if (access("/usr/bin/Xvfb", X_OK) != 0)
            return;
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_t pid = fork();
        if (pid == 0) {
            // Ends with the test process, also when a test leaves through _Exit.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
                _exit(127);
            const std::string fd = std::to_string(fds[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                  "-nolisten", "tcp", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            return;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (c != '\n' || number.empty()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        pid_ = pid;
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
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
