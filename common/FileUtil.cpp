#include "FileUtil.h"

#include "LogWriter.h"

bool FileUtil::copyFile(const std::string &source, const std::string &target, bool overwrite) const {
    if (!overwrite && fileExists(target)) {
        writeLog("Tentou copiar arquivo sem sobrescrita: " + target);
        return false;
    }
    // Copying over the target in place is what nearly every call needs (a restore makes
    // thousands), and costs one copy; the full sequence below runs only when that fails.
    // A copy that cannot start leaves the target as it was; one that fails midway leaves a
    // target the sequence deletes anyway.
    if (copyOver(source, target))
        return true;
    // Nothing is touched unless the copy can at least start: deleting the target first
    // would otherwise lose it for good when the source is missing.
    if (!fileExists(source))
        return false;
    const std::string::size_type slash = target.rfind('\\');
    if (slash != std::string::npos) {
        const std::string folder = target.substr(0, slash);
        if (!isFolder(folder))
            createFolderPath(folder);
    }
    if (fileExists(target) && !deleteFile(target)) {
        writeLog("Erro ao excluir arquivo: " + target);
        return false;
    }
    return copyBytes(source, target);
}
