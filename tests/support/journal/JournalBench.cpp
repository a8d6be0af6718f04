// Times the manager's restore of an interrupted update against the bare copies it has to do:
//     qv_journal_bench.exe <scratch folder> <path of quorvel9x.exe> [files] [rounds]
// Each round builds an installation of replaced 100 KB files with their saved copies and a
// journal, times the same number of plain CopyFileA calls from the saved copies, builds it
// again and times the copies each flushed to the disk (the least a restore that survives a
// power cut can cost), builds it again and times quorvel9x.exe from its start until the
// journal is undone.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char *kKey = "SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters\\Site";
constexpr DWORD kFileSize = 100 * 1024;

struct Entry {
    std::string target;
    std::string saved;
};

bool writeFile(const std::string &path, const std::string &bytes) {
    HANDLE f =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    // Flushed, so both timed sides find the files on disk: with delayed allocation a file
    // still in the page cache is far cheaper to replace than one whose blocks exist.
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(f);
    CloseHandle(f);
    return ok;
}

void makeDirs(const std::string &path) {
    for (std::size_t p = path.find('\\', 3); p != std::string::npos; p = path.find('\\', p + 1))
        CreateDirectoryA(path.substr(0, p).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

void removeTree(const std::string &path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path + "\\" + name);
            else
                DeleteFileA((path + "\\" + name).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<Entry> build(const std::string &inst, int files) {
    removeTree(inst);
    std::vector<Entry> entries;
    std::string journal;
    const std::string current(kFileSize, 'n');
    const std::string former(kFileSize, 'o');
    for (int i = 0; i < files; ++i) {
        const std::string folder = inst + "\\app\\d" + std::to_string(i % 50);
        const std::string name = "f" + std::to_string(i) + ".bin";
        const std::string savedFolder = inst + "\\tmpQvel\\backup\\" + folder.substr(3);
        makeDirs(folder);
        makeDirs(savedFolder);
        writeFile(folder + "\\" + name, current);
        writeFile(savedFolder + "\\" + name, former);
        entries.push_back({folder + "\\" + name, savedFolder + "\\" + name});
        journal += "2||1||" + folder + "||" + name + "||\r\n";
    }
    writeFile(inst + "\\tmpQvel\\journal.data", journal);
    return entries;
}

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool flush(const std::string &path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(f) != 0;
    CloseHandle(f);
    return ok;
}

double timeCopies(const std::vector<Entry> &entries, bool durable, bool &ok) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (const Entry &e : entries)
        ok = CopyFileA(e.saved.c_str(), e.target.c_str(), FALSE) && (!durable || flush(e.target)) && ok;
    QueryPerformanceCounter(&t1);
    return seconds(t0, t1);
}

bool exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The manager goes on to its starting dialog after the recovery, so the end of the restore is
// seen from outside: the journal is deleted when every record is undone, the temporary folder
// with the saved copies right after. The manager is ended once both are gone.
void timeManager(const std::string &program, const std::string &inst, double &restore, double &cleanup,
                 bool &ok) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + program + "\"";
    const std::string journal = inst + "\\tmpQvel\\journal.data";
    const std::string temp = inst + "\\tmpQvel";
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ok = false;
        return;
    }
    const DWORD deadline = GetTickCount() + 600000;
    while (exists(journal) && GetTickCount() < deadline)
        Sleep(20);
    QueryPerformanceCounter(&t1);
    while (exists(temp) && GetTickCount() < deadline)
        Sleep(20);
    QueryPerformanceCounter(&t2);
    ok = ok && !exists(temp);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    restore = seconds(t0, t1);
    cleanup = seconds(t1, t2);
}

bool restored(const std::string &inst, const std::vector<Entry> &entries) {
    if (GetFileAttributesA((inst + "\\tmpQvel").c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    for (const Entry &e : entries) {
        HANDLE f =
            CreateFileA(e.target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        char c = 0;
        DWORD n = 0;
        const bool good =
            ReadFile(f, &c, 1, &n, nullptr) && n == 1 && c == 'o' && GetFileSize(f, nullptr) == kFileSize;
        CloseHandle(f);
        if (!good)
            return false;
    }
    return true;
}

// Seconds from the first to the last line of the manager's log of the run: the restore loop
// alone, without the start of the process. -1 when the log cannot be read.
double logSpan(const std::string &inst) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((inst + "\\logs\\downloadinfra_log_*.log").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(h);
    FILE *f = std::fopen((inst + "\\logs\\" + fd.cFileName).c_str(), "r");
    if (!f)
        return -1;
    char line[1024];
    double first = -1, last = -1;
    while (std::fgets(line, sizeof line, f)) {
        int y, mo, d, hh, mm, ss, ms;
        if (std::sscanf(line, "[%d/%d/%d - %d:%d:%d:%d]", &y, &mo, &d, &hh, &mm, &ss, &ms) != 7)
            continue;
        double t = ((hh * 60.0 + mm) * 60.0 + ss) + ms / 1000.0;
        if (first < 0)
            first = t;
        last = t;
    }
    std::fclose(f);
    return first < 0 ? -1 : last - first;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qv_journal_bench <scratch folder> <quorvel9x.exe> [files] [rounds]\n");
        return 2;
    }
    const std::string inst = argv[1];
    const std::string program = argv[2];
    const int files = argc > 3 ? std::atoi(argv[3]) : 2000;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            0 ||
        RegSetValueExA(key, "INSTDIR83", 0, REG_SZ, reinterpret_cast<const BYTE *>(inst.c_str()),
                       static_cast<DWORD>(inst.size() + 1)) != 0) {
        std::fprintf(stderr, "cannot set INSTDIR83\n");
        return 1;
    }
    RegCloseKey(key);

    std::vector<double> copies, durables, restores, cleanups, loops;
    bool ok = true;
    for (int r = 0; r < rounds && ok; ++r) {
        std::vector<Entry> entries = build(inst, files);
        copies.push_back(timeCopies(entries, false, ok));
        entries = build(inst, files);
        durables.push_back(timeCopies(entries, true, ok));
        entries = build(inst, files);
        double restore = 0, cleanup = 0;
        timeManager(program, inst, restore, cleanup, ok);
        restores.push_back(restore);
        cleanups.push_back(cleanup);
        loops.push_back(logSpan(inst));
        if (!restored(inst, entries)) {
            std::fprintf(stderr, "round %d: the manager did not restore every file\n", r + 1);
            ok = false;
        }
        std::printf(
            "round %d: plain copies %.3f s, flushed copies %.3f s, manager restore %.3f s (ratio %.2f to "
            "the flushed copies), then temporary folder removed in %.3f s; first to last log line %.3f s\n",
            r + 1, copies.back(), durables.back(), restore, restore / durables.back(), cleanup, loops.back());
        std::fflush(stdout);
    }
    removeTree(inst);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    if (!ok) {
        std::fprintf(stderr, "benchmark failed\n");
        return 1;
    }
    std::printf("%d replaced files of %lu bytes, median of %d rounds:\n", files, kFileSize, rounds);
    std::printf("  %d plain CopyFileA calls:             %.3f s\n", files, median(copies));
    std::printf("  the same, each copy flushed:          %.3f s (%.2f ms more a file)\n", median(durables),
                (median(durables) - median(copies)) * 1000 / files);
    std::printf("  manager start to journal undone:      %.3f s\n", median(restores));
    std::printf("  ratio restore / plain copies:         %.2f\n", median(restores) / median(copies));
    std::printf("  ratio restore / flushed copies:       %.2f (target at most 1.10)\n",
                median(restores) / median(durables));
    std::printf("  then removal of the temporary folder: %.3f s\n", median(cleanups));
    std::printf("  copy loop alone (first to last log line, the flushes come after it): %.3f s\n",
                median(loops));
    return 0;
}
