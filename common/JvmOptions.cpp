#include "JvmOptions.h"

#include <cstdlib>

long parseLogLevel(const std::string &level) {
    // strtol has exactly the wanted reading: blanks, sign, digits; no digits gives 0.
    return std::strtol(level.c_str(), nullptr, 10);
}

std::vector<std::string> buildJvmOptions(const JavaParameters &java, const std::string &logLevel) {
    std::vector<std::string> options;
    options.push_back("-Djava.class.path=" + java.classpath);
    if (parseLogLevel(logLevel) > 2)
        options.push_back("-verbose:all");
    options.push_back("-Xmx" + std::to_string(java.jvmMx) + "m");
    options.push_back("-Xms" + std::to_string(java.jvmMs) + "m");
    if (java.jvmSs > 0)
        options.push_back("-Xss" + std::to_string(java.jvmSs) + "k");
    options.insert(options.end(), java.options.begin(), java.options.end());
    return options;
}

JvmInitArgs::JvmInitArgs(std::vector<std::string> options) : strings_(std::move(options)) {
    buffers_.reserve(strings_.size());
    options_.reserve(strings_.size() + 3);
    hookNames_.reserve(3);
    for (const std::string &s : strings_) {
        buffers_.emplace_back(s.begin(), s.end());
        buffers_.back().push_back('\0');
        options_.push_back(JavaVMOption{buffers_.back().data(), nullptr});
    }
    args_.version = JNI_VERSION_1_4;
    args_.ignoreUnrecognized = JNI_TRUE;
    point();
}

void JvmInitArgs::addHook(const char *name, void *function) {
    if (hookNames_.size() == hookNames_.capacity())
        return; // the three hooks the runtime knows, each once
    hookNames_.emplace_back(name);
    // Reserved: inserting moves no option's text, only the array's entries.
    options_.insert(options_.begin() + static_cast<std::ptrdiff_t>(hookNames_.size() - 1),
                    JavaVMOption{&hookNames_.back()[0], function});
    point();
}

void JvmInitArgs::point() {
    args_.nOptions = static_cast<jint>(options_.size());
    args_.options = options_.empty() ? nullptr : options_.data();
}
