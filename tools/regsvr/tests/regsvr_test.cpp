// The registration tool run as a program on the two controls, registering into a private
// configuration folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "com/create.h"
#include "com/guid.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "support/private_folders.h"

using platform::Hive;
using platform::RegistryGetString;
using platform::RegistryKeyExists;

namespace {

const char kBrowserControlKey[] =
    "Software\\Classes\\CLSID\\{62BA1F80-E8F4-40E1-AB8A-F33E51B70881}";

int RunRegsvr(const std::vector<std::string>& arguments) {
    auto process = platform::StartProcess(REGSVR, arguments);
    if (!process || !process->Wait(60000)) return -1;
    return process->ExitCode().value_or(-1);
}

std::string Canonical(const char* path) { return std::filesystem::canonical(path).string(); }

class Regsvr : public ::testing::Test {
protected:
    webroadtest::PrivateFolders folders;
};

TEST_F(Regsvr, InstallsTheBrowserControlForTheUserAndTakesItAwayAgain) {
    ASSERT_EQ(RunRegsvr({"-n", "-i:user", AXORVANE_LIBRARY}), 0);
    const std::string library = Canonical(AXORVANE_LIBRARY);
    const std::string key = kBrowserControlKey;
    const struct {
        std::string key, name, value;
    } entries[] = {
        {key, "", "OrvaneAX Class"},
        {key + "\\ProgID", "", "Hallek.OrvaneAX.1"},
        {key + "\\VersionIndependentProgID", "", "Hallek.OrvaneAX"},
        {key + "\\InprocServer32", "", library},
        {key + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {key, "AppID", "{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}"},
        {key + "\\ToolboxBitmap32", "", library + ", 102"},
        {key + "\\MiscStatus", "", "0"},
        {key + "\\MiscStatus\\1", "", "131473"},
        {key + "\\TypeLib", "", "{CF793CF8-3DC7-4FCC-B78C-74AF38049DB8}"},
        {key + "\\Version", "", "1.0"},
        {"Software\\Classes\\Hallek.OrvaneAX.1\\CLSID", "",
         "{62BA1F80-E8F4-40E1-AB8A-F33E51B70881}"},
        {"Software\\Classes\\Hallek.OrvaneAX\\CurVer", "", "Hallek.OrvaneAX.1"},
        {"Software\\Classes\\AppID\\{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}", "", "axorvane"},
        {"Software\\Classes\\AppID\\libaxorvane.so", "AppID",
         "{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}"},
        {"Software\\Classes\\TypeLib\\{CF793CF8-3DC7-4FCC-B78C-74AF38049DB8}\\1.0", "",
         "axorvane 1.0 Type Library"},
    };
    for (const auto& e : entries)
        EXPECT_EQ(RegistryGetString(Hive::CurrentUser, e.key, e.name, "<none>"), e.value)
            << e.key << " " << e.name;
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, key + "\\Programmable"));
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, key + "\\Control"));
    EXPECT_FALSE(RegistryKeyExists(Hive::LocalMachine, key));
    // Both ProgIDs lead hosts to the class.
    const auto clsid = com::ParseGuid("{62BA1F80-E8F4-40e1-AB8A-F33E51B70881}");
    EXPECT_EQ(com::ClsidFromText("Hallek.OrvaneAX"), clsid);
    EXPECT_EQ(com::ClsidFromText("Hallek.OrvaneAX.1"), clsid);
    EXPECT_EQ(com::RegisteredLibrary(*clsid), library);

    ASSERT_EQ(RunRegsvr({"-u", "-n", "-i:user", AXORVANE_LIBRARY}), 0);
    for (const char* gone : {kBrowserControlKey, "Software\\Classes\\Hallek.OrvaneAX",
                             "Software\\Classes\\Hallek.OrvaneAX.1"})
        EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, gone)) << gone;
    EXPECT_FALSE(com::ClsidFromText("Hallek.OrvaneAX"));
}

TEST_F(Regsvr, RegistersAndUnregistersBothControlsThroughTheirServerEntries) {
    const struct {
        const char* library;
        const char* clsid;
    } controls[] = {{AXORVANE_LIBRARY, "{62BA1F80-E8F4-40e1-AB8A-F33E51B70881}"},
                    {ORVANE_AX_LIBRARY, "{14DACFF5-4B08-494b-A580-25F2ED930DA7}"}};
    for (const auto& c : controls) {
        const com::CLSID clsid = *com::ParseGuid(c.clsid);
        ASSERT_EQ(RunRegsvr({c.library}), 0) << c.library;
        EXPECT_EQ(com::RegisteredLibrary(clsid), Canonical(c.library));
        ASSERT_EQ(RunRegsvr({"-u", c.library}), 0) << c.library;
        EXPECT_EQ(com::RegisteredLibrary(clsid), "");
    }
}

TEST_F(Regsvr, SaysWhatWentWrongByItsExitCode) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } cases[] = {
        {{}, 1},
        {{"-n", AXORVANE_LIBRARY}, 1},
        {{"-x", AXORVANE_LIBRARY}, 1},
        {{AXORVANE_LIBRARY, AXORVANE_LIBRARY}, 1},
        {{folders.file("missing.so")}, 3},
        {{NO_SERVER_LIBRARY}, 4},
        {{"-n", "-i:user", NO_SERVER_LIBRARY}, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunRegsvr(c.arguments), c.exitCode)
            << (c.arguments.empty() ? "<none>" : c.arguments[0]);
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, kBrowserControlKey));
}

}  // namespace
