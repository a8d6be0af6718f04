// StopQuorvel facing a Java process that outlives the one-minute wait.
#include "StopE2eSupport.h"

#include <gtest/gtest.h>

TEST(StopToolSlow, JavaStillRunningAfterAMinuteGetsNoConfirmation) {
    stoptest::Installation inst("stop_e2e_slow");
    stoptest::FakeJava java;
    ASSERT_TRUE(java.start(inst.javaBin() + "\\java.exe", inst.folder(), true));
    ASSERT_TRUE(inst.writeServerXmlFor(java.port()));

    qvtest::ChildProcess stop;
    const DWORD start = GetTickCount();
    ASSERT_TRUE(stoptest::startTool(stop, qvtest::programPath("StopQuorvel.exe"), inst.option()));
    EXPECT_EQ(stoptest::kWord, java.waitForRecord(20000).value_or("<nothing received>"));
    DWORD code = 12345;
    // A message box would keep the tool from ending by itself.
    ASSERT_TRUE(stop.wait(90000, &code)) << "the tool did not end by itself";
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(0u, code) << "exit code";
    EXPECT_GE(elapsed, 59000u) << "the tool did not wait the minute";
    EXPECT_TRUE(java.process.running()) << "the tool must not end the Java process";
}
