#include "StopE2eSupport.h"

#include <cstdlib>

namespace stoptest {

const char kWord[] = "ENCERRAR";

Installation::Installation(const std::string &name, bool withDbFolder) : dir_(name) {
    qvtest::makeDirs(applicationFolder() + "\\infra\\tomcat\\conf");
    qvtest::makeDirs(applicationFolder() + (withDbFolder ? "\\site\\WEB-INF\\db" : "\\site\\WEB-INF"));
    qvtest::makeDirs(javaBin());
}

bool Installation::writeServerXml(const std::string &content) const {
    return qvtest::writeFile(applicationFolder() + "\\infra\\tomcat\\conf\\server.xml", content);
}

bool Installation::writeServerXmlFor(int port) const {
    return writeServerXml("<!-- Example Server Configuration File -->\r\n"
                          "<Server port=\"" +
                          std::to_string(port) + "\" shutdown=\"" + kWord +
                          "\" debug=\"0\">\r\n"
                          "  <Service name=\"Tomcat-Standalone\">\r\n"
                          "    <Connector port=\"8080\" />\r\n"
                          "  </Service>\r\n"
                          "</Server>\r\n");
}

bool FakeJava::start(const std::string &exePath, const std::string &filesDir, bool stay) {
    const std::string portFile = filesDir + "\\fakejava.port";
    recordFile_ = filesDir + "\\fakejava.record";
    DeleteFileA(portFile.c_str());
    DeleteFileA(recordFile_.c_str());
    const std::string dir = exePath.substr(0, exePath.rfind('\\'));
    if (!qvtest::makeDirs(dir) ||
        !CopyFileA(qvtest::binPath("qvstopfakejava.exe").c_str(), exePath.c_str(), FALSE))
        return false;
    const std::string cmd =
        "\"" + exePath + "\" \"" + portFile + "\" \"" + recordFile_ + "\" " + kWord + (stay ? " stay" : "");
    if (!process.start(cmd))
        return false;
    std::string text;
    if (!qvtest::pollUntil([&] { return qvtest::readFile(portFile, text) && !text.empty(); }, 20000))
        return false;
    port_ = std::atoi(text.c_str());
    return port_ > 0;
}

std::optional<std::string> FakeJava::waitForRecord(DWORD timeoutMs) const {
    std::string bytes;
    if (!qvtest::pollUntil([&] { return qvtest::readFile(recordFile_, bytes); }, timeoutMs))
        return std::nullopt;
    return bytes;
}

LoopbackListener::LoopbackListener() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return;
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (socket_ == INVALID_SOCKET || bind(socket_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(socket_, 8) != 0 || getsockname(socket_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
        return;
    }
    port_ = ntohs(addr.sin_port);
}

LoopbackListener::~LoopbackListener() {
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    WSACleanup();
}

static bool readable(SOCKET s, DWORD timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &tv) > 0;
}

std::optional<std::string> LoopbackListener::receive(DWORD timeoutMs) {
    if (!ok() || !readable(socket_, timeoutMs))
        return std::nullopt;
    SOCKET peer = accept(socket_, nullptr, nullptr);
    if (peer == INVALID_SOCKET)
        return std::nullopt;
    std::string bytes;
    char buf[4096];
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (!readable(peer, spent < timeoutMs ? timeoutMs - spent : 0))
            break;
        const int n = recv(peer, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        bytes.append(buf, n);
    }
    closesocket(peer);
    return bytes;
}

bool LoopbackListener::connectionPending() {
    return ok() && readable(socket_, 0);
}

bool startTool(qvtest::ChildProcess &tool, const std::string &exePath, const std::string &arguments) {
    return tool.start("\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments));
}

std::optional<std::string> copyToolTo(const std::string &folder) {
    const std::string exe = folder + "\\StopQuorvel.exe";
    if (!qvtest::makeDirs(folder) ||
        !CopyFileA(qvtest::programPath("StopQuorvel.exe").c_str(), exe.c_str(), FALSE))
        return std::nullopt;
    return exe;
}

} // namespace stoptest
