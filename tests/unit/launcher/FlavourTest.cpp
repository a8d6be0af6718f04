// The restore flavour's table, as the restore library is built.
#include "Flavour.h"
#include "LaunchParameters.h"

#include <gtest/gtest.h>

TEST(RestoreFlavour, ConstantsOfTheRestoreLauncher) {
    EXPECT_TRUE(flavour::kRestore);
    EXPECT_STREQ("QUORVELRST", flavour::kWindowClass);
    EXPECT_STREQ("Global\\{{7A2C1D3F-4E5B-4D6C-8F9A-B2C3D4E5F607}}", flavour::kMutexName);
    std::vector<std::string> names;
    flavour::createInstanceMutex([&](const char *name) {
        names.push_back(name);
        return flavour::MutexResult{nullptr, names.size() == 1 ? 123ul : 0ul};
    });
    EXPECT_EQ((std::vector<std::string>{flavour::kMutexName, "{{7A2C1D3F-4E5B-4D6C-8F9A-B2C3D4E5F607}}"}),
              names)
        << "98/ME refuse the first";
    EXPECT_STREQ("restore_log_", flavour::kLogPrefix);
    EXPECT_EQ(131, flavour::kClassResourceId);
    EXPECT_EQ(130, flavour::kSplashBitmapId);
    LaunchParameters p = LaunchParameters::forInstallation("C:\\QUORVEL", "9002", ParameterReader());
    EXPECT_EQ("C:\\QUORVEL\\aplicacao\\infra\\tomcat\\logs\\restorew.log", p.log.stdOutput);
    EXPECT_EQ(std::vector<std::string>{"halvane.nerel.commonLib.integrador.backup.JRestore"}, p.start.params);
    EXPECT_EQ("Não foi possível carregar o aplicativo de Restore. Consulte o log para mais detalhes.",
              std::string(flavour::kTimeoutMessage));
}
