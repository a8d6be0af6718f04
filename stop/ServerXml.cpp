#include "ServerXml.h"

#include <climits>
#include <cstring>

namespace qvstop {

namespace {

const char kServerTag[] = "<Server";
const char kPortAttr[] = "port=\"";
const char kShutdownAttr[] = "shutdown=\"";

// The text after the first `attr` up to the next double quote, or to the end of the line.
std::string attributeValue(const std::string &line, const char *attr) {
    const std::size_t start = line.find(attr) + std::strlen(attr);
    const std::size_t end = line.find('"', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

std::optional<ShutdownRequest> parseServerLine(const char *line) {
    std::string text = line;
    // The line end is not part of the value: the word goes out without one.
    if (!text.empty() && text.back() == '\n')
        text.pop_back();

    if (text.find(kServerTag) == std::string::npos || text.find(kPortAttr) == std::string::npos ||
        text.find(kShutdownAttr) == std::string::npos)
        return std::nullopt;

    ShutdownRequest request;
    request.port = portFromText(attributeValue(text, kPortAttr));
    request.word = attributeValue(text, kShutdownAttr);
    return request;
}

std::optional<ShutdownRequest> readShutdownRequest(std::FILE *file) {
    char buffer[kServerLineChars + 1];
    while (std::fgets(buffer, sizeof buffer, file)) {
        if (auto request = parseServerLine(buffer))
            return request;
    }
    return std::nullopt;
}

std::optional<ShutdownRequest> readShutdownRequest(const std::string &serverXmlPath) {
    std::FILE *file = std::fopen(serverXmlPath.c_str(), "rt");
    if (!file)
        return std::nullopt;
    auto request = readShutdownRequest(file);
    std::fclose(file);
    return request;
}

int portFromText(const std::string &text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool isConnectablePort(int port) {
    return port > 0 && port <= 65535;
}

} // namespace qvstop
