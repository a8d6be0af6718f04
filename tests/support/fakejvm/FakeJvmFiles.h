// Test-side helpers for the stand-in jvm.dll (Windows tests only): a private copy of the dll in
// a scratch folder with its script and record beside it, and readers for the record.
// A private copy per test keeps tests independent: each copy is its own module with its own
// state, and the files beside it belong to that test alone.
#pragma once

#include "WinTestUtil.h"

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace qvtest {

class FakeJvmDir {
  public:
    explicit FakeJvmDir(const std::string &name) : dir_(name) {
        CopyFileA(binPath("fakejre\\jvm.dll").c_str(), dllPath().c_str(), FALSE);
    }
    std::string dllPath() const { return dir_ / "jvm.dll"; }
    std::string scriptPath() const { return dir_ / "jvm.script"; }
    std::string recordPath() const { return dir_ / "jvm.record"; }
    std::string operator/(const std::string &rel) const { return dir_ / rel; }
    const std::string &path() const { return dir_.path(); }
    bool dllCopied() const { return fileExists(dllPath()); }

    bool writeScript(const std::string &text) const { return writeFile(scriptPath(), text); }

    // The record's events, each without its time stamp and thread id.
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const auto &line : lines())
            out.push_back(eventOf(line));
        return out;
    }
    std::vector<std::string> lines() const {
        std::string text;
        readFile(recordPath(), text);
        std::vector<std::string> out;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line))
            out.push_back(line);
        return out;
    }
    // Events starting with `prefix`.
    std::vector<std::string> eventsStarting(const std::string &prefix) const {
        std::vector<std::string> out;
        for (const auto &e : events())
            if (e.compare(0, prefix.size(), prefix) == 0)
                out.push_back(e);
        return out;
    }
    std::size_t count(const std::string &prefix) const { return eventsStarting(prefix).size(); }
    bool waitFor(const std::string &prefix, DWORD timeoutMs, std::size_t times = 1) const {
        return pollUntil([&] { return count(prefix) >= times; }, timeoutMs);
    }
    // The time stamp (GetTickCount) of the first event starting with `prefix`, 0 when none.
    DWORD tickOf(const std::string &prefix) const {
        for (const auto &line : lines())
            if (eventOf(line).compare(0, prefix.size(), prefix) == 0)
                return static_cast<DWORD>(std::stoul(line.substr(0, line.find(' '))));
        return 0;
    }
    std::string threadOf(const std::string &prefix) const {
        for (const auto &line : lines()) {
            if (eventOf(line).compare(0, prefix.size(), prefix) == 0) {
                std::size_t a = line.find(' ') + 1;
                return line.substr(a, line.find(' ', a) - a);
            }
        }
        return {};
    }

    static std::string eventOf(const std::string &line) {
        std::size_t a = line.find(' ');
        std::size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
        return b == std::string::npos ? line : line.substr(b + 1);
    }

  private:
    ScratchDir dir_;
};

} // namespace qvtest
