// Stateless file-system operations on Windows paths (8-bit code page, backslash separators),
// reporting by boolean results; some also write a line to the log. The operations whose order
// decides what a power cut leaves behind are virtual, so that a test can read that order.
#pragma once

#include <string>

class FileUtil {
  public:
    virtual ~FileUtil() = default;

    // Creates every missing folder along the path (prefixes of up to three characters, such
    // as C: and C:\, are left alone). False at the first folder that cannot be created.
    bool createFolderPath(std::string path) const;
    // True when the path names an existing folder (a trailing backslash names the same one).
    bool isFolder(const std::string &path) const;
    // True when the file can be opened for reading: a folder, a missing file and a file
    // another program holds locked all give false.
    bool fileExists(const std::string &path) const;
    // True unless the system answers that nothing is at the path: a file that cannot be
    // opened, read or deleted is still there.
    bool isPresent(const std::string &path) const;
    // Clears a file's read-only attribute, if set, so that it can be replaced or deleted.
    void makeWritable(const std::string &path) const;
    // Deletes the folder with everything in it. Entries whose names begin with a full stop
    // are skipped (so a ".keep" file keeps its folder). True when the folder itself is gone.
    virtual bool deleteTree(const std::string &path, bool quiet) const;
    virtual bool deleteFile(const std::string &path) const;
    // Copies one file, creating the target's folders. The target is replaced only when the
    // source can be read, so a missing source never costs the target.
    virtual bool copyFile(const std::string &source, const std::string &target, bool overwrite) const;
    // Has the system write what it still holds of the file to the disk (FlushFileBuffers on a
    // handle opened for writing). A read-only file is flushed too and stays read-only.
    virtual bool flushFile(const std::string &path) const;
    // Cuts an existing file to zero length and flushes it; false when either fails.
    virtual bool emptyFile(const std::string &path) const;

  private:
    // The bare copy: CopyFileA on Windows. Touches nothing when the source cannot be opened.
    bool copyBytes(const std::string &source, const std::string &target) const;
    // The bare copy over an ordinary target (or none); false without trying for a read-only,
    // hidden or system target, which the full sequence of copyFile deals with and reports.
    bool copyOver(const std::string &source, const std::string &target) const;
};
