#include "ClassExtraction.h"

#include "AppException.h"
#include "Flavour.h"
#include "Handles.h"

#include <windows.h>

void extraiPacoteBinario(void *module, int resourceId, const std::string &folder,
                         const std::string &fileName) {
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
        // Plain Win32 rather than a C++ file stream: the stream drags in the runtime's 64-bit stat
        // family, which the msvcrt.dll of Windows 98 lacks, and a megabyte of locale code.
        Handle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
        if (out && size > 0) {
            DWORD written = 0;
            WriteFile(out.get(), bytes, size, &written, nullptr);
        }
    } catch (...) {
        throw APP_EXCEPTION("Erro inesperado em extraiPacoteBinario.");
    }
}

void extraiPacoteBinario(int resourceId, const std::string &folder, const std::string &fileName) {
    extraiPacoteBinario(GetModuleHandleA(nullptr), resourceId, folder, fileName);
}
