// Feeds arbitrary bytes to the server.xml reader as a whole file and as one line.
#include "ServerXml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A value ends at a double quote; a line read from a file also ends at its line end and after
// at most 1023 characters.
void check(const std::optional<qvstop::ShutdownRequest> &r, bool fromFile) {
    if (!r)
        return;
    if (r->word.find('"') != std::string::npos)
        std::abort();
    if (fromFile && (r->word.size() > static_cast<std::size_t>(qvstop::kServerLineChars) ||
                     r->word.find('\n') != std::string::npos))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    check(qvstop::parseServerLine(bytes.c_str()), false);

    std::FILE *file = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "r");
    if (file) {
        check(qvstop::readShutdownRequest(file), true);
        std::fclose(file);
    }
    return 0;
}
