// The application server's shutdown port and word, as the tool reads them from server.xml.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace qvstop {

// Each read takes at most this many characters; a longer line is read, and judged, in parts.
constexpr int kServerLineChars = 1023;

struct ShutdownRequest {
    int port = 0;
    std::string word;
};

// A line qualifies when it holds "<Server", "port=\"" and "shutdown=\"" (case-sensitive, any
// order). `line` is one read as fgets gives it, line end included.
std::optional<ShutdownRequest> parseServerLine(const char *line);

// The first qualifying line of the file, or nothing.
std::optional<ShutdownRequest> readShutdownRequest(std::FILE *file);
std::optional<ShutdownRequest> readShutdownRequest(const std::string &serverXmlPath);

// atoi's reading of the port text (so a non-numeric text gives 0), without its undefined
// behaviour on overflow: out-of-range values saturate.
int portFromText(const std::string &text);

// Ports the tool connects to. Anything else would be truncated to 16 bits by htons and reach an
// unrelated port.
bool isConnectablePort(int port);

} // namespace qvstop
