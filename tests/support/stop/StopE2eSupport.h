// Scaffolding for driving StopQuorvel from outside: a scratch installation, the stand-in Java
// process and a loopback listener playing the application server's shutdown port.
#pragma once

#include "WinTestUtil.h"

#include <winsock2.h>

#include <optional>
#include <string>

namespace stoptest {

// The word the tests put into server.xml: eight letters, as in the server's own configuration.
extern const char kWord[];

// C:\qvtest\<name> laid out as an installation: aplicacao\infra\tomcat\conf,
// aplicacao\site\WEB-INF\db (unless `withDbFolder` is false) and java\jre\bin.
class Installation {
  public:
    explicit Installation(const std::string &name, bool withDbFolder = true);
    const std::string &folder() const { return dir_.path(); }
    std::string applicationFolder() const { return folder() + "\\aplicacao"; }
    std::string stampPath() const { return applicationFolder() + "\\site\\WEB-INF\\db\\nerel2.properties"; }
    std::string javaBin() const { return folder() + "\\java\\jre\\bin"; }
    std::string option() const { return "-Dinstall.dir=" + folder(); }

    bool writeServerXml(const std::string &content) const;
    // A usual server.xml whose <Server> line names `port` and kWord.
    bool writeServerXmlFor(int port) const;

  private:
    qvtest::ScratchDir dir_;
};

// The stand-in Java process (tests/support/stop/FakeJava.cpp) copied to `exePath` and started.
class FakeJava {
  public:
    // Copies, starts and waits until the process listens; `filesDir` receives its port and
    // record files.
    bool start(const std::string &exePath, const std::string &filesDir, bool stay = false);
    int port() const { return port_; }
    // The bytes received so far, once the first connection has been recorded.
    std::optional<std::string> waitForRecord(DWORD timeoutMs) const;
    qvtest::ChildProcess process;

  private:
    std::string recordFile_;
    int port_ = 0;
};

// A listening loopback socket on a free port, standing in for the shutdown port.
class LoopbackListener {
  public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;
    bool ok() const { return socket_ != INVALID_SOCKET; }
    int port() const { return port_; }
    // Accepts one connection and reads until the peer closes it.
    std::optional<std::string> receive(DWORD timeoutMs);
    // True when a completed connection waits to be accepted. Once the tool has ended, any
    // connection it made is already queued.
    bool connectionPending();

  private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

// Starts the tool at `exePath` with `arguments` after the quoted program name.
bool startTool(qvtest::ChildProcess &tool, const std::string &exePath, const std::string &arguments);

// A copy of the built tool at `folder`\StopQuorvel.exe (folders created).
std::optional<std::string> copyToolTo(const std::string &folder);

} // namespace stoptest
