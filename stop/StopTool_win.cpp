#include "StopTool_win.h"

#include "Folders.h"
#include "Handle_win.h"
#include "ServerXml.h"
#include "StopStamp.h"

#include <tlhelp32.h>
#include <winsock.h>

namespace qvstop {

// The process entry's size field must be 296 on the 32-bit targets.
static_assert(sizeof(void *) != 4 || sizeof(PROCESSENTRY32) == 296, "ANSI PROCESSENTRY32 expected");

namespace {

const char kStoppedText[] = "Quorvel encerrado com sucesso.";
const char kStoppedCaption[] = "Quorvel";

class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data;
        // Version 1.1 is all Windows 95/98 ship without an update; a failed start shows up as a
        // failing socket() below.
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~WinsockSession() {
        if (started_)
            WSACleanup();
    }
    WinsockSession(const WinsockSession &) = delete;
    WinsockSession &operator=(const WinsockSession &) = delete;

  private:
    bool started_ = false;
};

class Socket {
  public:
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() { close(); }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    bool valid() const { return s_ != INVALID_SOCKET; }
    SOCKET get() const { return s_; }
    void close() {
        if (valid())
            closesocket(s_);
        s_ = INVALID_SOCKET;
    }

  private:
    SOCKET s_;
};

// QueryFullProcessImageNameA exists from Windows Vista on; looked up so the tool still loads on
// the systems it is made for.
std::string imagePathFromProcess(DWORD processId) {
    using QueryImageName = BOOL(WINAPI *)(HANDLE, DWORD, LPSTR, PDWORD);
    const FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    if (!proc)
        return {};
    const auto query = reinterpret_cast<QueryImageName>(reinterpret_cast<void (*)()>(proc));
    const DWORD kQueryLimitedInformation = 0x1000;
    Handle process(OpenProcess(kQueryLimitedInformation, FALSE, processId));
    if (!process.valid())
        return {};
    char path[kPathBufferSize];
    DWORD size = sizeof path;
    if (!query(process.get(), 0, path, &size))
        return {};
    return std::string(path, size);
}

// Windows 98/ME put the full path into the process list; the NT family and Wine put only the
// file name there. The first module of a process is its executable, so a module snapshot gives
// the full path. A 32-bit tool cannot list a 64-bit process's modules; then the image name is
// asked for directly.
std::string executablePath(const PROCESSENTRY32 &entry) {
    const std::string listed = entry.szExeFile;
    if (listed.find('\\') != std::string::npos)
        return listed;

    Handle modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, entry.th32ProcessID));
    if (modules.valid()) {
        MODULEENTRY32 module{};
        module.dwSize = sizeof module;
        if (Module32First(modules.get(), &module))
            return module.szExePath;
    }
    return imagePathFromProcess(entry.th32ProcessID);
}

} // namespace

std::string ownModulePath() {
    char path[kPathBufferSize];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    // A full buffer means a truncated path.
    if (n == 0 || n >= sizeof path)
        return {};
    return std::string(path, n);
}

std::string shortLowerPath(const std::string &path) {
    char shortPath[kPathBufferSize];
    const DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        return {};
    return lowerAscii(std::string(shortPath, n));
}

std::string findApplicationFolder(const std::string &commandLine) {
    return applicationFolderFor(commandLine, ownModulePath());
}

DWORD findJavaProcess(const std::string &applicationFolder) {
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    const std::string installationFolder = installationFolderOf(applicationFolder);
    const std::string javaPath = shortLowerPath(javaExePath(installationFolder));
    const std::string javawPath = shortLowerPath(javawExePath(installationFolder));
    if (!snapshot.valid())
        return 0;

    // An expected path without a short form (runtime not installed) is empty and must not
    // match a process whose own path has no short form either.
    const auto matches = [](const std::string &found, const std::string &expected) {
        return !expected.empty() && found == expected;
    };

    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        const std::string found = shortLowerPath(executablePath(entry));
        if (matches(found, javaPath) || matches(found, javawPath))
            return entry.th32ProcessID;
    }
    return 0;
}

void writeStopStamp(const std::string &applicationFolder) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    StampTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.milliseconds = now.wMilliseconds;
    writeStopStampFile(stopStampPath(applicationFolder), time);
}

void requestShutdown(const std::string &applicationFolder) {
    if (const auto request = readShutdownRequest(serverXmlPath(applicationFolder)))
        sendShutdownWord(request->port, request->word);
}

void sendShutdownWord(int port, const std::string &word) {
    WinsockSession winsock;
    Socket connection(socket(AF_INET, SOCK_STREAM, 0));
    if (!connection.valid() || !isConnectablePort(port))
        return;

    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<u_short>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(connection.get(), reinterpret_cast<const sockaddr *>(&server), sizeof server) == 0) {
        // The word's bytes only: no line end, no terminating NUL. No reply is read.
        send(connection.get(), word.data(), static_cast<int>(word.size()), 0);
    }
}

bool waitForJavaEnd(DWORD processId) {
    // SYNCHRONIZE as well: the NT family refuses to wait on a handle opened for query only.
    Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!process.valid())
        return false;
    WaitForSingleObject(process.get(), kJavaEndWaitMs);
    DWORD exitCode = STILL_ACTIVE;
    if (!GetExitCodeProcess(process.get(), &exitCode))
        return false;
    return exitCode != STILL_ACTIVE;
}

void runStopTool(const std::string &commandLine) {
    const std::string applicationFolder = findApplicationFolder(commandLine);
    if (applicationFolder.empty())
        return;
    // Looked for first, while the Java process is surely still running.
    const DWORD javaProcess = findJavaProcess(applicationFolder);
    writeStopStamp(applicationFolder);
    requestShutdown(applicationFolder);
    if (javaProcess != 0 && waitForJavaEnd(javaProcess))
        MessageBoxA(nullptr, kStoppedText, kStoppedCaption, MB_OK);
}

} // namespace qvstop
