// The stop tool's run: find the installation's Java process, stamp the stop time, ask the server
// to shut down, wait up to a minute for the process and confirm the stop.
#pragma once

#include <windows.h>

#include <string>

namespace qvstop {

constexpr DWORD kJavaEndWaitMs = 60000;

// The tool's own full path; empty when it cannot be read.
std::string ownModulePath();
// GetShortPathNameA with ASCII letters lowercased; empty when the call fails (no such file).
std::string shortLowerPath(const std::string &path);

std::string findApplicationFolder(const std::string &commandLine);
// Id of the first process running the installation's java.exe or javaw.exe; 0 if none.
DWORD findJavaProcess(const std::string &applicationFolder);
void writeStopStamp(const std::string &applicationFolder);
void requestShutdown(const std::string &applicationFolder);
void sendShutdownWord(int port, const std::string &word);
// True when the process has ended within the wait.
bool waitForJavaEnd(DWORD processId);

// The whole run; `commandLine` is the text after the program name.
void runStopTool(const std::string &commandLine);

} // namespace qvstop
