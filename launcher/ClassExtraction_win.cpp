#include "ClassExtraction.h"

#include "AppException.h"
#include "Flavour.h"

#include <windows.h>

#include <fstream>

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
        std::ofstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
        if (out && size > 0)
            out.write(bytes, static_cast<std::streamsize>(size));
    } catch (...) {
        throw APP_EXCEPTION("Erro inesperado em extraiPacoteBinario.");
    }
}

void extraiPacoteBinario(int resourceId, const std::string &folder, const std::string &fileName) {
    extraiPacoteBinario(GetModuleHandleA(nullptr), resourceId, folder, fileName);
}
