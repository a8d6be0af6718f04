// Native stand-in so the platform-neutral code links and runs in native tests: the same
// walks and log lines on POSIX calls, with the backslash mapped to the slash.
#include "FileUtil.h"

#include "LogWriter.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace {
std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
} // namespace

bool FileUtil::createFolderPath(std::string path) const {
    path = native(path) + '/';
    for (std::string::size_type p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1)) {
        const std::string prefix = path.substr(0, p);
        if (!isFolder(prefix) && ::mkdir(prefix.c_str(), 0777) != 0)
            return false;
    }
    return true;
}

bool FileUtil::isFolder(const std::string &path) const {
    struct stat st {};
    return ::stat(native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileUtil::fileExists(const std::string &path) const {
    if (isFolder(path))
        return false;
    const int fd = ::open(native(path).c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool FileUtil::isPresent(const std::string &path) const {
    struct stat st {};
    return ::stat(native(path).c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

void FileUtil::makeWritable(const std::string &path) const {
    struct stat st {};
    if (::stat(native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        ::chmod(native(path).c_str(), (st.st_mode & 07777) | S_IWUSR);
}

bool FileUtil::deleteTree(const std::string &path, bool quiet) const {
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    if (DIR *dir = ::opendir(native(folder).c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string full = folder + entry->d_name;
            if (isFolder(full)) {
                if (!deleteTree(full, quiet) && !quiet)
                    writeLog("Erro na exclusão da pasta: " + full);
            } else if (::unlink(native(full).c_str()) != 0 && !quiet) {
                writeLog("Erro na exclusão do arquivo: " + full);
            }
        }
        ::closedir(dir);
    }
    return ::rmdir(native(folder).c_str()) == 0;
}

bool FileUtil::deleteFile(const std::string &path) const {
    return ::unlink(native(path).c_str()) == 0;
}

bool FileUtil::copyBytes(const std::string &source, const std::string &target) const {
    // The target is opened (and emptied) only once the source is open, as CopyFileA does.
    std::ifstream in(native(source), std::ios::binary);
    if (!in)
        return false;
    std::ofstream out(native(target), std::ios::binary);
    if (!out)
        return false;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        out.write(buffer, in.gcount());
    return in.eof() && out.good();
}

bool FileUtil::copyOver(const std::string &source, const std::string &target) const {
    // A target without write permission counts as read-only, even for a superuser.
    struct stat st {};
    if (::stat(native(target).c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0))
        return false;
    return copyBytes(source, target);
}

bool FileUtil::flushFile(const std::string &path) const {
    // fsync needs no write access here, so a read-only file needs no special case.
    const int fd = ::open(native(path).c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

bool FileUtil::emptyFile(const std::string &path) const {
    const int fd = ::open(native(path).c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0)
        return false;
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}
