#include "ClassExtraction.h"

#include "AppException.h"
#include "Flavour.h"
#include "Handles.h"
#include "LauncherLog.h"

#include <windows.h>

namespace {
// True when every byte reached the file. A class file cut short (a full disk) would fail only
// in the virtual machine, a minute later, as a time-out: it is deleted and the step fails now.
bool writeClassFile(const std::string &path, const char *bytes, DWORD size, const ClassFileWrite &write) {
    // Plain Win32 rather than a C++ file stream: the stream drags in the runtime's 64-bit stat
    // family, which the msvcrt.dll of Windows 98 lacks, and a megabyte of locale code.
    Handle out(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || size == 0)
        return true;
    unsigned long written = 0;
    bool ok;
    if (write) {
        ok = write(out.get(), bytes, size, written);
    } else {
        DWORD count = 0;
        ok = WriteFile(out.get(), bytes, size, &count, nullptr) != FALSE;
        written = count;
    }
    if (ok && written == size)
        return true;
    out.close();
    DeleteFileA(path.c_str());
    launcherLog("Erro ao gravar " + path + ": " + std::to_string(written) + " de " + std::to_string(size) +
                " bytes gravados; o arquivo foi apagado.");
    return false;
}
} // namespace

void extraiPacoteBinario(void *module, int resourceId, const std::string &folder, const std::string &fileName,
                         const ClassFileWrite &write) {
    bool complete = true;
    try {
        const std::string path = folder + "\\" + fileName;
        HMODULE hmod = static_cast<HMODULE>(module);
        const char *bytes = nullptr;
        DWORD size = 0;
        if (HRSRC res = FindResourceA(hmod, MAKEINTRESOURCEA(resourceId), flavour::kClassResourceType)) {
            if (HGLOBAL loaded = LoadResource(hmod, res)) {
                bytes = static_cast<const char *>(LockResource(loaded));
                size = bytes ? SizeofResource(hmod, res) : 0;
            }
        }
        complete = writeClassFile(path, bytes, size, write);
    } catch (...) {
        throw APP_EXCEPTION("Erro inesperado em extraiPacoteBinario.");
    }
    if (!complete)
        throw APP_EXCEPTION("Erro inesperado em extraiPacoteBinario.");
}

void extraiPacoteBinario(int resourceId, const std::string &folder, const std::string &fileName) {
    extraiPacoteBinario(GetModuleHandleA(nullptr), resourceId, folder, fileName);
}
