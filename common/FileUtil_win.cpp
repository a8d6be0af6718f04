#include "FileUtil.h"

#include "Handles.h"
#include "LogWriter.h"

bool FileUtil::createFolderPath(std::string path) const {
    // Always one backslash more, so the last component is also a prefix ending at one.
    path += '\\';
    std::string::size_type p = path.find('\\');
    while (p != std::string::npos && p > 0 && p < path.size()) {
        const std::string prefix = path.substr(0, p);
        if (prefix.size() > 3 && !isFolder(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr))
            return false;
        p = path.find('\\', p + 1);
    }
    return true;
}

bool FileUtil::isFolder(const std::string &path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileUtil::fileExists(const std::string &path) const {
    // The sharing of a C runtime open for reading: a writer that denies nothing does not make
    // the file absent, a program holding it without sharing does. Folders do not open at all
    // without FILE_FLAG_BACKUP_SEMANTICS.
    Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return f.valid();
}

bool FileUtil::isPresent(const std::string &path) const {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

void FileUtil::makeWritable(const std::string &path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return;
    // No attribute left is said with FILE_ATTRIBUTE_NORMAL, which is valid only alone.
    const DWORD rest = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(path.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL);
}

bool FileUtil::deleteTree(const std::string &path, bool quiet) const {
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    WIN32_FIND_DATAA entry{};
    FindHandle find(FindFirstFileA((folder + "*.*").c_str(), &entry));
    if (find) {
        do {
            // Skips "." and "..", and with them every other name that begins with a full stop.
            if (entry.cFileName[0] == '.')
                continue;
            const std::string full = folder + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!deleteTree(full, quiet) && !quiet)
                    writeLog("Erro na exclusão da pasta: " + full);
            } else if (!DeleteFileA(full.c_str()) && !quiet) {
                writeLog("Erro na exclusão do arquivo: " + full);
            }
        } while (FindNextFileA(find.get(), &entry));
    }
    find.close(); // the listing handle keeps the folder busy
    return RemoveDirectoryA(folder.c_str()) != 0;
}

bool FileUtil::deleteFile(const std::string &path) const {
    return DeleteFileA(path.c_str()) != 0;
}

bool FileUtil::copyBytes(const std::string &source, const std::string &target) const {
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

bool FileUtil::copyOver(const std::string &source, const std::string &target) const {
    // Windows refuses to copy over such a target; Wine does not, so the attributes are tested
    // here rather than left to CopyFileA.
    constexpr DWORD kGuarded =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kGuarded) != 0)
        return false;
    return copyBytes(source, target);
}

namespace {
HANDLE openForWriting(const std::string &path, DWORD disposition) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

bool FileUtil::flushFile(const std::string &path) const {
    {
        Handle f(openForWriting(path, OPEN_EXISTING));
        if (f)
            return FlushFileBuffers(f.get()) != 0;
    }
    // Windows copies the read-only attribute with a file, and FlushFileBuffers needs a handle
    // with write access: the attribute is lifted for the flush only.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return false;
    makeWritable(path);
    bool flushed = false;
    {
        Handle f(openForWriting(path, OPEN_EXISTING));
        flushed = f && FlushFileBuffers(f.get()) != 0;
    }
    SetFileAttributesA(path.c_str(), attributes);
    return flushed;
}

bool FileUtil::emptyFile(const std::string &path) const {
    // The flush writes the new length too: on FAT it lives in the file's folder entry, which a
    // flush of the file updates.
    Handle f(openForWriting(path, TRUNCATE_EXISTING));
    return f && FlushFileBuffers(f.get()) != 0;
}
