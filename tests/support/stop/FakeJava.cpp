// Stands in for the installation's java.exe or javaw.exe: listens on a free loopback port,
// publishes that port, records every byte it receives and ends when one connection has carried
// exactly the expected word.
//
//   qvstopfakejava PORTFILE RECORDFILE WORD [stay]
//
// PORTFILE receives the port number in decimal; RECORDFILE the bytes of all connections so far,
// rewritten after each one. Both appear whole (written aside, then renamed). With "stay" the
// process records but never ends by itself. Without a connection for three minutes it ends with
// code 3, so a crashed test leaves nothing behind for long.
#include <windows.h>
#include <winsock2.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const int kIdleSeconds = 180;

bool publish(const std::string &path, const std::string &bytes) {
    const std::string aside = path + ".part";
    std::FILE *f = std::fopen(aside.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok)
        return false;
    return MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PORTFILE RECORDFILE WORD [stay]\n", argv[0]);
        return 2;
    }
    const std::string portFile = argv[1];
    const std::string recordFile = argv[2];
    const std::string word = argv[3];
    const bool stay = argc > 4 && std::strcmp(argv[4], "stay") == 0;

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 2;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof addr;
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return 2;
    if (!publish(portFile, std::to_string(ntohs(addr.sin_port))))
        return 2;

    std::string recorded;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval idle{kIdleSeconds, 0};
        if (select(0, &readable, nullptr, nullptr, &idle) <= 0)
            return 3;
        SOCKET peer = accept(listener, nullptr, nullptr);
        if (peer == INVALID_SOCKET)
            continue;
        // Everything up to the peer's close, so stray bytes after the word are seen too.
        std::string received;
        char buf[4096];
        int n;
        while ((n = recv(peer, buf, sizeof buf, 0)) > 0)
            received.append(buf, n);
        closesocket(peer);
        recorded += received;
        publish(recordFile, recorded);
        if (!stay && received == word)
            break;
    }
    closesocket(listener);
    WSACleanup();
    return 0;
}
