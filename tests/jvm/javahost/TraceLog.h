// Collects the manager's debug trace in a native test (the sink replaces the platform output).
#pragma once

#include "DebugTrace.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace jhtest {

class TraceLog {
  public:
    TraceLog() {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
        setDebugTraceSink(&TraceLog::sink);
    }
    ~TraceLog() { setDebugTraceSink(nullptr); }
    TraceLog(const TraceLog &) = delete;
    TraceLog &operator=(const TraceLog &) = delete;

    std::vector<std::string> all() const {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }
    std::size_t count(const std::string &line) const {
        auto v = all();
        return static_cast<std::size_t>(std::count(v.begin(), v.end(), line));
    }
    // The lines that are in `wanted`, in the order they came.
    std::vector<std::string> only(const std::vector<std::string> &wanted) const {
        std::vector<std::string> out;
        for (const auto &l : all())
            if (std::find(wanted.begin(), wanted.end(), l) != wanted.end())
                out.push_back(l);
        return out;
    }

  private:
    static std::mutex &mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string> &lines() {
        static std::vector<std::string> l;
        return l;
    }
    static void sink(const char *text) {
        std::string line = text;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            line.resize(line.size() - 2);
        std::lock_guard<std::mutex> lock(mutex());
        lines().push_back(line);
    }
};

} // namespace jhtest
