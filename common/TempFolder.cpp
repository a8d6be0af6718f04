#include "TempFolder.h"

#include "FileUtil.h"
#include "LogWriter.h"

std::string TempFolder::pathFor(const std::string &base) const {
    return base + "\\" + kName;
}

void TempFolder::removeFrom(const std::string &base) const {
    removeFrom(base, FileUtil());
}

void TempFolder::removeFrom(const std::string &base, const FileUtil &files) const {
    const std::string path = pathFor(base);
    if (files.isFolder(path) && !files.deleteTree(path, true))
        writeLog("Problema ao excluir diretório temporário.");
}
