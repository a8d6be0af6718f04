// Texts reach the "A" functions as code page 1252 bytes while the sources stay UTF-8.
#include "WinTestUtil.h"

#include <gtest/gtest.h>

TEST(CodePage, CompiledLiteralIsCp1252) {
    const char text[] = "Opção";
    EXPECT_EQ(std::string("Op\xE7\xE3o"), std::string(text));
    EXPECT_EQ(1252u, GetACP());
}

TEST(CodePage, ResourceStringsReadAsCp1252) {
    HMODULE bkp = LoadLibraryExA(qvtest::binPath("QuorvelBkp.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, bkp) << qvtest::binPath("QuorvelBkp.exe");
    char buf[100] = "sentinel";
    int n = LoadStringA(bkp, 103, buf, sizeof buf);
    EXPECT_EQ(std::string("C\xF3pia de Seguran\xE7" "a"), std::string(buf, n > 0 ? n : 0));
    FreeLibrary(bkp);
}
