// Captures what the Java runtime prints (it writes to file descriptors 1 and 2 directly), so a
// test can fail on any -Xcheck:jni warning.
#pragma once

#include <string>

class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture(); // restores the descriptors and echoes what was captured
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    std::string text() const; // everything written so far

private:
    int savedOut_ = -1;
    int savedErr_ = -1;
    std::string path_;
};

// The first JNI warning line in the text, or empty text when there is none.
std::string firstJniWarning(const std::string &text);
