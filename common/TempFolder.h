// The temporary folder an update of the installation leaves below the installation folder.
#pragma once

#include <string>

class FileUtil;

class TempFolder {
  public:
    virtual ~TempFolder() = default;

    static constexpr const char *kName = "tmpQvel";

    // base + "\" + "tmpQvel".
    std::string pathFor(const std::string &base) const;
    // Deletes that folder with everything in it, if it is a folder; logs when that fails.
    void removeFrom(const std::string &base) const;
    // The same through the given file operations.
    void removeFrom(const std::string &base, const FileUtil &files) const;
};
