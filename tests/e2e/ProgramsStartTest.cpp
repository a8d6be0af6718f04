// Each program starts from outside and ends by itself with exit code 0.
#include "WinTestUtil.h"

#include <gtest/gtest.h>

TEST(ProgramsStart, StopToolOutsideAnInstallationEndsAtOnce) {
    qvtest::ChildProcess p;
    ASSERT_TRUE(p.start("\"" + qvtest::binPath("StopQuorvel.exe") + "\""));
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(30000, &code));
    EXPECT_EQ(0u, code);
}
