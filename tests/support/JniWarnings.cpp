#include "JniWarnings.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

OutputCapture::OutputCapture() {
    char name[] = "/tmp/qv-capture-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return;
    path_ = name;
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(1);
    savedErr_ = dup(2);
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
}

OutputCapture::~OutputCapture() {
    if (path_.empty())
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, 1);
    dup2(savedErr_, 2);
    close(savedOut_);
    close(savedErr_);
    std::string captured = text();
    if (!captured.empty())
        std::fprintf(stderr, "---- runtime output ----\n%s------------------------\n", captured.c_str());
    unlink(path_.c_str());
}

std::string OutputCapture::text() const {
    std::fflush(stdout);
    std::fflush(stderr);
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string firstJniWarning(const std::string &text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("WARNING in native method") != std::string::npos ||
            line.find("FATAL ERROR in native method") != std::string::npos ||
            line.find("WARNING: JNI") != std::string::npos)
            return line;
    }
    return {};
}
