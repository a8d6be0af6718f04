#include "RuntimeWords.h"

#include <fcntl.h>
#include <unistd.h>

namespace runtimeWords {

AppendFile::AppendFile(const char *path) : handle_(open(path, O_WRONLY | O_CREAT | O_APPEND, 0644)) {}

AppendFile::~AppendFile() {
    if (isOpen())
        close(static_cast<int>(handle_));
}

bool AppendFile::isOpen() const {
    return handle_ >= 0;
}

void AppendFile::write(const char *data, std::size_t size) {
    if (isOpen() && size > 0 && ::write(static_cast<int>(handle_), data, size) < 0)
        return; // the words are lost; nothing to tell them to
}

} // namespace runtimeWords
