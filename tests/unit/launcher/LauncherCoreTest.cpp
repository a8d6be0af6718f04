// Platform-neutral pieces of the launcher: the exception text, the administrator check's
// choice, the parameters, the option list, the tear-down bound.
#include "AdminCheck.h"
#include "AppException.h"
#include "Flavour.h"
#include "LaunchParameters.h"
#include "MaquinaJava.h"
#include "TeardownWatchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace {
class FakeReader : public ParameterReader {
  public:
    std::map<std::string, std::string> values; // "subkey\\name" -> text
    std::string readValue(const std::string &subkey, const std::string &name) const override {
        auto it = values.find(subkey + "\\" + name);
        return it == values.end() ? std::string() : it->second;
    }
};
} // namespace

TEST(AppException, FullDescriptionWalksTheCauses) {
    auto root = std::make_shared<AppException>("raiz", "void f()", "a.cpp", 7);
    auto middle = std::make_shared<AppException>("meio", "int g(int)", "b.cpp", 12, root);
    AppException top("topo", "int __thiscall MaquinaJava::createJVM(void)", "MaquinaJava.cpp", 42, middle);
    EXPECT_EQ("Excecao AppException: topo\n"
              "em int __thiscall MaquinaJava::createJVM(void), arquivo MaquinaJava.cpp, linha 42\n"
              "causada por AppException: meio\n"
              "em int g(int), arquivo b.cpp, linha 12\n"
              "causada por AppException: raiz\n"
              "em void f(), arquivo a.cpp, linha 7",
              top.fullDescription());
    EXPECT_EQ("topo", top.message());
}

TEST(AppException, RaisedHereNamesThisFunctionFileAndLine) {
    const int line = __LINE__ + 1;
    AppException e = APP_EXCEPTION("Erro ao chamar RegisterNatives.");
    EXPECT_EQ(nullptr, e.cause());
    EXPECT_NE(std::string::npos, e.function().find("RaisedHereNamesThisFunctionFileAndLine")) << e.function();
    EXPECT_EQ("tests/unit/launcher/LauncherCoreTest.cpp", e.file())
        << "within the source tree, not the build machine's path";
    EXPECT_EQ(line, e.line());
    EXPECT_EQ(0u, e.fullDescription().find("Excecao AppException: Erro ao chamar RegisterNatives.\nem "))
        << e.fullDescription();
}

TEST(AdminCheck, VariantFollowsPlatformAndVersion) {
    using V = AdminCheck::Variant;
    EXPECT_EQ(V::AlwaysYes, AdminCheck::chooseVariant(1, 4));   // Windows 95/98/ME
    EXPECT_EQ(V::AlwaysYes, AdminCheck::chooseVariant(1, 5));   // platform wins over the version
    EXPECT_EQ(V::TokenGroups, AdminCheck::chooseVariant(2, 4)); // NT 4.0
    EXPECT_EQ(V::TokenMembership, AdminCheck::chooseVariant(2, 5));
    EXPECT_EQ(V::TokenMembership, AdminCheck::chooseVariant(2, 6));
    EXPECT_EQ(V::TokenMembership, AdminCheck::chooseVariant(2, 10));
    EXPECT_EQ(V::TokenMembership, AdminCheck::chooseVariant(2, 3));
}

namespace {
// Plays CreateMutexA: refuses names holding a backslash with `refusal`, and answers
// ERROR_ALREADY_EXISTS for names in `existing`.
struct FakeCreate {
    unsigned long refusal = 0;
    std::vector<std::string> existing;
    std::vector<std::string> calls;
    flavour::MutexResult operator()(const char *name) {
        calls.push_back(name);
        if (refusal && std::string(name).find('\\') != std::string::npos)
            return {nullptr, refusal};
        const bool exists = std::find(existing.begin(), existing.end(), name) != existing.end();
        return {&calls, exists ? 183ul : 0ul};
    }
};
} // namespace

TEST(InstanceMutex, GlobalNameFirstBareNameOnlyWhereRefused) {
    const std::string bare = "{{6F1B0C2E-3D4A-4C5B-9E8F-A1B2C3D4E5F6}}";
    const std::string global = "Global\\" + bare;
    {
        FakeCreate create; // Windows 2000 and later, whatever version a compatibility mode reports
        const flavour::MutexResult r = flavour::createInstanceMutex(std::ref(create));
        EXPECT_EQ(std::vector<std::string>{global}, create.calls);
        EXPECT_NE(nullptr, r.handle);
        EXPECT_EQ(0ul, r.error);
    }
    for (unsigned long refusal : {3ul, 123ul, 161ul}) { // NT 4.0; 98/ME
        SCOPED_TRACE(refusal);
        FakeCreate create;
        create.refusal = refusal;
        create.existing = {bare};
        const flavour::MutexResult r = flavour::createInstanceMutex(std::ref(create));
        EXPECT_EQ((std::vector<std::string>{global, bare}), create.calls);
        EXPECT_NE(nullptr, r.handle);
        EXPECT_EQ(183ul, r.error) << "a second instance is still told apart under the bare name";
    }
    for (unsigned long other : {5ul, 6ul, 8ul}) { // access denied, another object's name, no memory
        SCOPED_TRACE(other);
        FakeCreate create;
        create.refusal = other;
        const flavour::MutexResult r = flavour::createInstanceMutex(std::ref(create));
        EXPECT_EQ(std::vector<std::string>{global}, create.calls)
            << "not a refused name: no per-session mutex";
        EXPECT_EQ(nullptr, r.handle);
        EXPECT_EQ(other, r.error);
    }
    FakeCreate second;
    second.existing = {global};
    EXPECT_EQ(183ul, flavour::createInstanceMutex(std::ref(second)).error);
    EXPECT_EQ(std::vector<std::string>{global}, second.calls);
}

TEST(LaunchParameters, DefaultsBelowTheInstallationFolder) {
    FakeReader reader;
    LaunchParameters p = LaunchParameters::forInstallation("D:\\APP", "9002", reader);
    EXPECT_EQ("D:\\APP\\java\\jre\\bin\\client\\jvm.dll", p.java.jvm);
    EXPECT_EQ("D:\\APP\\java", p.java.javaHome);
    EXPECT_EQ(".;D:\\APP\\aplicacao\\site\\WEB-INF\\classes\\", p.java.classpath);
    EXPECT_EQ("D:\\APP" + std::string(flavour::kJavaOutputFile), p.log.stdOutput);
    EXPECT_EQ(p.log.stdOutput, p.log.stdError);
    EXPECT_EQ("halvane/nerel/commonLib/integrador/backup/LauncherControl", p.start.className);
    EXPECT_EQ(std::vector<std::string>{flavour::kMainClass}, p.start.params);

    MaquinaJava jvm;
    jvm.setParameters(p);
    EXPECT_EQ(
        (std::vector<std::string>{"-Djava.class.path=.;D:\\APP\\aplicacao\\site\\WEB-INF\\classes\\",
                                  "-Xmx256m", "-Xms32m", "-Xss512k", "-Xoss400K", "-Dsun.java2d.noddraw=true",
                                  "-Dinstall.dir=D:\\APP", "-Dport.hsqldb=9002"}),
        jvm.buildOptions());
}

TEST(LaunchParameters, RegistryValuesReplaceTheDefaultsUnchanged) {
    FakeReader reader;
    reader.values["Java\\Jvm"] = "E:/jre/bin/client/jvm.dll";
    reader.values["Java\\JavaHome"] = "E:\\jre";
    LaunchParameters p = LaunchParameters::forInstallation("D:\\APP", "9002", reader);
    EXPECT_EQ("E:/jre/bin/client/jvm.dll", p.java.jvm);
    EXPECT_EQ("E:\\jre", p.java.javaHome);
}

TEST(TeardownClock, CountsTheBoundOnlyAfterAQuietPeriodWithoutWindows) {
    using Ms = std::chrono::milliseconds;
    {
        TeardownClock hidden(Ms(30000), Ms(10000)); // a frame hidden but not disposed
        for (int t = 0; t < 40000; t += 250)
            ASSERT_FALSE(hidden.expired(Ms(t), false)) << "at " << t << " ms";
        EXPECT_TRUE(hidden.expired(Ms(40000), false));
    }
    {
        TeardownClock dialog(Ms(30000), Ms(10000)); // a dialog shown for an hour, then closed
        for (int t = 0; t <= 3600000; t += 250)
            ASSERT_FALSE(dialog.expired(Ms(t), true)) << "at " << t << " ms";
        EXPECT_FALSE(dialog.expired(Ms(3600000 + 39999), false));
        EXPECT_TRUE(dialog.expired(Ms(3600000 + 40000), false));
    }
    {
        TeardownClock again(Ms(30000), Ms(10000)); // a window shows while the bound counts
        EXPECT_FALSE(again.expired(Ms(35000), false));
        EXPECT_FALSE(again.expired(Ms(35250), true));
        EXPECT_FALSE(again.expired(Ms(70000), false)) << "the quiet period starts over";
        EXPECT_TRUE(again.expired(Ms(75250), false));
    }
}

TEST(TeardownWatchdog, FiresOnlyWhenTheTeardownOutlivesTheBound) {
    std::atomic<int> fired{0};
    {
        TeardownWatchdog quick({1000, 1000, 10}, {}, [&] { ++fired; });
        quick.disarm();
        EXPECT_FALSE(quick.expired());
    }
    EXPECT_EQ(0, fired.load());

    // No window: it fires after the quiet period and the bound.
    const auto start = std::chrono::steady_clock::now();
    {
        TeardownWatchdog slow(
            {100, 50, 10}, [] { return false; }, [&] { ++fired; });
        while (!slow.expired() && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(slow.expired());
        // The watchdog counts in whole milliseconds.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150 - 1));
        slow.disarm(); // too late: it has fired already
    }
    EXPECT_EQ(1, fired.load());
}
