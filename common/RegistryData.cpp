#include "RegistryData.h"

#include <cstring>

std::string textFromRegistryData(const char *data, std::size_t size) {
    if (!data)
        return {};
    const void *nul = std::memchr(data, '\0', size);
    std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - data) : size;
    return std::string(data, n);
}

std::vector<std::string> listFromRegistryData(const char *data, std::size_t size) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (data && pos < size) {
        std::string s = textFromRegistryData(data + pos, size - pos);
        if (s.empty())
            break;
        pos += s.size() + 1;
        out.push_back(std::move(s));
    }
    return out;
}
