#include "com/registry_script.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "testsupport/temp_dir.h"

using namespace com;
using platform::Hive;

namespace {

const char kScript[] = R"(
HKCR
{
    Acme.Thing.1 = s 'Thing Class'
    {
        CLSID = s '%CLSID%'
    }
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'Thing Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'Tool Box' = s '%MODULE%, 102'
            MiscStatus = s '0'
            {
                '1' = s '131473'
            }
            val Flags = d 17
            val Quote = s 'it''s 100%%'
        }
    }
}
)";

const std::string kClsid = "{62BA1F80-E8F4-40E1-AB8A-F33E51B70881}";
const std::string kKey = "Software\\Classes\\CLSID\\" + kClsid;

class RegistryScript : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_{"XDG_CONFIG_HOME", dir_.path()};
    std::map<std::string, std::string> repl_{{"CLSID", kClsid},
                                             {"MODULE", "/opt/o'dd path/libthing.so"}};
};

TEST_F(RegistryScript, WritesPerUserAndPerMachineIntoTheirOwnHives) {
    std::string error;
    ASSERT_EQ(ApplyRegistryScript(kScript, repl_, RegistrationScope::PerUser, true, &error), S_OK)
        << error;
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, kKey + "\\InprocServer32", ""),
              "/opt/o'dd path/libthing.so");
    EXPECT_EQ(
        platform::RegistryGetString(Hive::CurrentUser, kKey + "\\InprocServer32", "ThreadingModel"),
        "Apartment");
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, kKey + "\\Tool Box", ""),
              "/opt/o'dd path/libthing.so, 102");
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, kKey + "\\MiscStatus\\1", ""),
              "131473");
    EXPECT_EQ(platform::RegistryGetInt(Hive::CurrentUser, kKey, "Flags"), 17);
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, kKey, "Quote"), "it's 100%");
    EXPECT_EQ(platform::RegistryGetString(Hive::ClassesRoot, "Acme.Thing.1\\CLSID", ""), kClsid);
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::LocalMachine, kKey));

    ASSERT_EQ(ApplyRegistryScript(kScript, repl_, RegistrationScope::PerMachine, true), S_OK);
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::LocalMachine, kKey + "\\InprocServer32"));
}

TEST_F(RegistryScript, UnregistrationRemovesOwnKeysAndKeepsSharedOnes) {
    ASSERT_EQ(ApplyRegistryScript(kScript, repl_, RegistrationScope::PerUser, true), S_OK);
    const std::string other = "Software\\Classes\\CLSID\\{00000000-1111-2222-3333-444444444444}";
    platform::RegistrySetValue(Hive::CurrentUser, other, "", "someone else");
    ASSERT_EQ(ApplyRegistryScript(kScript, repl_, RegistrationScope::PerUser, false), S_OK);
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, kKey));
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, "Software\\Classes\\Acme.Thing.1"));
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::CurrentUser, "Software\\Classes\\CLSID"));
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, other, ""), "someone else");
}

TEST_F(RegistryScript, ForceRemoveReplacesStaleEntries) {
    platform::RegistrySetValue(Hive::CurrentUser, kKey + "\\Stale", "", "old");
    ASSERT_EQ(ApplyRegistryScript(kScript, repl_, RegistrationScope::PerUser, true), S_OK);
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, kKey + "\\Stale"));
}

TEST_F(RegistryScript, BadScriptsChangeNothing) {
    std::string error;
    auto missing = repl_;
    missing.erase("MODULE");
    EXPECT_EQ(ApplyRegistryScript(kScript, missing, RegistrationScope::PerUser, true, &error),
              E_INVALIDARG);
    EXPECT_NE(error.find("%MODULE%"), std::string::npos) << error;
    for (const char* bad :
         {"HKCR { Key = s 'unterminated }", "HKCR { Key = x 'v' }", "HKCR { Key { }",
          "HKXX { Key }", "HKCR { val V = s 'x' }", "HKCR { Key = d 12abc }", "HKCR { 'a\\b' }"}) {
        error.clear();
        EXPECT_EQ(ApplyRegistryScript(bad, repl_, RegistrationScope::PerUser, true, &error),
                  E_INVALIDARG)
            << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, "Software\\Classes\\Key"));
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, kKey));
}

}  // namespace
