#include "Journal.h"

#include "FileUtil.h"

#include <cstdio>
#include <memory>

namespace {
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

void Journal::create() {
    if (!FileUtil().fileExists(path()))
        File(
            std::fopen(path().c_str(), "ab")); // append mode: never empties a journal held by another program
}

std::deque<JournalRecord> Journal::readAll() {
    // Binary: the line ends are handled by the parser, and a stray Ctrl-Z byte cannot end
    // the reading early and hide the newer records as a text-mode read would.
    File f(std::fopen(path().c_str(), "rb"));
    if (!f)
        throw JournalError(kJournalReadError);
    std::string content;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
        content.append(buffer, n);
    if (std::ferror(f.get()))
        throw JournalError(kJournalReadError);
    return parseJournalText(content);
}

void Journal::append(const JournalRecord &record) {
    const std::string line = formatJournalLine(record);
    File f(std::fopen(path().c_str(), "ab"));
    if (f)
        std::fwrite(line.data(), 1, line.size(), f.get());
}

void Journal::rewrite(std::deque<JournalRecord> records) {
    File(std::fopen(path().c_str(), "wb"));
    for (const JournalRecord &record : records)
        append(record);
}

void Journal::remove() {
    FileUtil().deleteFile(path());
}

std::deque<JournalRecord> readJournal(const std::string &folder) {
    return Journal(folder).readAll();
}

void deleteJournal(const std::string &folder) {
    Journal(folder).remove();
}

bool journalExists(const std::string &folder) {
    // Not whether it can be read: a journal another program holds is still an update to undo,
    // and taking it for none would start the application on a half-restored installation.
    return FileUtil().isPresent(folder + "\\" + Journal::kFileName);
}
