// Texts reach the "A" functions as code page 1252 bytes while the sources stay UTF-8.
#include "WideImports.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

TEST(CodePage, CompiledLiteralIsCp1252) {
    const char text[] = "Opção";
    EXPECT_EQ(std::string("Op\xE7\xE3o"), std::string(text));
    EXPECT_EQ(1252u, GetACP());
}

TEST(CodePage, ResourceStringsReadAsCp1252) {
    HMODULE bkp =
        LoadLibraryExA(qvtest::binPath("QuorvelBkp.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, bkp) << qvtest::binPath("QuorvelBkp.exe");
    char buf[100] = "sentinel";
    int n = LoadStringA(bkp, 103, buf, sizeof buf);
    EXPECT_EQ(std::string("C\xF3pia de Seguran\xE7"
                          "a"),
              std::string(buf, n > 0 ? n : 0));
    FreeLibrary(bkp);
}

// The 32-bit programs bind the runtime's CreateSemaphoreW, GetModuleHandleW and LoadLibraryW to
// "A" forms (win9x/). A name that does not convert must fail there with the error of a name too
// long, not go on empty: an empty name makes an unnamed semaphore.
TEST(CodePage, WideImportStandInsRefuseANameThatDoesNotConvert) {
    const std::wstring tooLong(MAX_PATH + 8, L'q');
    SetLastError(0xdeadbeef);
    HANDLE semaphore = qv::win9x::createSemaphore(nullptr, 0, 1, tooLong.c_str());
    DWORD error = GetLastError();
    EXPECT_EQ(nullptr, semaphore) << "got a semaphore for a name that does not convert";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), error);
    if (semaphore)
        CloseHandle(semaphore);

    SetLastError(0xdeadbeef);
    HMODULE module = qv::win9x::getModuleHandle(tooLong.c_str());
    error = GetLastError();
    EXPECT_EQ(nullptr, module) << "got module " << module << ", this program is "
                               << GetModuleHandleA(nullptr);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), error);

    SetLastError(0xdeadbeef);
    module = qv::win9x::loadLibrary(tooLong.c_str());
    error = GetLastError();
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), error);
}

TEST(CodePage, WideImportStandInsPassConvertedNamesOn) {
    HANDLE semaphore = qv::win9x::createSemaphore(nullptr, 0, 1, L"qv_codepage_semaphore");
    ASSERT_NE(nullptr, semaphore) << "error " << GetLastError();
    HANDLE same = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "qv_codepage_semaphore");
    EXPECT_NE(nullptr, same) << "the semaphore is not reachable by its narrow name, error " << GetLastError();
    if (same)
        CloseHandle(same);
    CloseHandle(semaphore);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), qv::win9x::getModuleHandle(L"kernel32.dll"));
    EXPECT_EQ(GetModuleHandleA(nullptr), qv::win9x::getModuleHandle(nullptr));
}
