#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/children.h"
#include "testsupport/file_events.h"
#include "testsupport/temp_dir.h"

namespace fs = std::filesystem;
using namespace platform;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFile;
using Names = std::vector<std::string>;

namespace {

class Registry : public ::testing::Test {
protected:
    TempDir tmp_;
    ScopedEnv config_{"XDG_CONFIG_HOME", tmp_.path()};

    std::string HiveFile(const std::string& name) {
        return RegistryDirectory() + "/" + name + ".hive";
    }
};

// What the hive files hold, read back by a process that never saw the writes.
std::string ReadInChild(Hive hive, const std::string& key, const std::string& name) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string value = RegistryGetString(hive, key, name, "<missing>");
        const ssize_t ignored = ::write(fds[1], value.data(), value.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return out;
}

}  // namespace

TEST_F(Registry, LivesUnderTheUsersConfigFolder) {
    EXPECT_EQ(RegistryDirectory(), tmp_.path() + "/orvane/registry");
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\X", "v", std::string("1")));
    ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, "Software\\X", "v", std::string("2")));
    EXPECT_TRUE(fs::exists(HiveFile("HKEY_CURRENT_USER")));
    EXPECT_TRUE(fs::exists(HiveFile("HKEY_LOCAL_MACHINE")));
}

TEST_F(Registry, ParsesFullPaths) {
    Hive hive = Hive::LocalMachine;
    std::string key;
    ASSERT_TRUE(ParseRegistryPath("HKEY_CURRENT_USER\\Software\\Classes\\.mp4", hive, key));
    EXPECT_EQ(hive, Hive::CurrentUser);
    EXPECT_EQ(key, "Software\\Classes\\.mp4");
    ASSERT_TRUE(ParseRegistryPath("HKLM\\SOFTWARE\\x\\", hive, key));
    EXPECT_EQ(hive, Hive::LocalMachine);
    EXPECT_EQ(key, "SOFTWARE\\x");
    ASSERT_TRUE(ParseRegistryPath("hkey_classes_root\\CLSID", hive, key));
    EXPECT_EQ(hive, Hive::ClassesRoot);
    EXPECT_EQ(key, "CLSID");
    ASSERT_TRUE(ParseRegistryPath("HKCR", hive, key));
    EXPECT_EQ(hive, Hive::ClassesRoot);
    EXPECT_EQ(key, "");
    ASSERT_TRUE(ParseRegistryPath(
        "HKCU\\Software\\Classes\\MIME\\Database\\Content Type\\video/mp4", hive, key));
    EXPECT_EQ(key, "Software\\Classes\\MIME\\Database\\Content Type\\video/mp4");
    ASSERT_TRUE(ParseRegistryPath("HKEY_LOCAL_MACHINE", hive, key));
    EXPECT_EQ(hive, Hive::LocalMachine);
    EXPECT_FALSE(ParseRegistryPath("HKEY_USERS\\x", hive, key));
    EXPECT_FALSE(ParseRegistryPath("HKEY_CURRENT_USERS\\x", hive, key));
    EXPECT_FALSE(ParseRegistryPath("Software\\x", hive, key));
    EXPECT_FALSE(ParseRegistryPath("", hive, key));
}

TEST_F(Registry, ReadsGiveDefaultsWhenNothingIsStored) {
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, "Software\\Nope"));
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, "Software\\Nope", "x").has_value());
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "Software\\Nope", "x", "dflt"), "dflt");
    EXPECT_EQ(RegistryGetInt(Hive::LocalMachine, "Software\\Nope", "x", 7), 7);
    EXPECT_TRUE(RegistrySubKeys(Hive::ClassesRoot, "").empty());
    EXPECT_TRUE(RegistryValueNames(Hive::CurrentUser, "Software").empty());
    EXPECT_FALSE(fs::exists(RegistryDirectory()));  // reading creates nothing
}

TEST_F(Registry, StringAndIntegerValues) {
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    ASSERT_TRUE(
        RegistrySetValue(Hive::CurrentUser, run, "orvane", std::string("/opt/orvane/orvane")));
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, run, "orvane"), "/opt/orvane/orvane");
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, run, "ORVANE"), "/opt/orvane/orvane");

    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "n", std::int64_t{131473}));
    auto value = RegistryGetValue(Hive::CurrentUser, "Software\\O", "n");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(std::get<std::int64_t>(*value), 131473);
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\O", "n"), 131473);
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "Software\\O", "n"), "131473");

    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    const std::int64_t small = std::numeric_limits<std::int64_t>::min();
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "max", big));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "min", small));
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\O", "max"), big);
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\O", "min"), small);

    // A string answers GetInt only when it is a number.
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "s", std::string(" -12 ")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "t", std::string("12a")));
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\O", "s", 5), -12);
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\O", "t", 5), 5);

    // A value changes type when written with the other type.
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\O", "n", std::string("text")));
    EXPECT_EQ(std::get<std::string>(*RegistryGetValue(Hive::CurrentUser, "Software\\O", "n")),
              "text");
    // The hives are separate.
    EXPECT_FALSE(RegistryGetValue(Hive::LocalMachine, "Software\\O", "n").has_value());
}

TEST_F(Registry, DefaultValueAndNamedValues) {
    const std::string key = "Software\\Classes\\.mp4";
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, key, "").has_value());
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "", std::string("orvane.mp4")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "ovbak", std::string("")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "Alpha", std::int64_t{1}));
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, key, ""), "orvane.mp4");
    // An empty value exists and is not the default.
    ASSERT_TRUE(RegistryGetValue(Hive::CurrentUser, key, "ovbak").has_value());
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, key, "ovbak", "dflt"), "");
    // Names in the order they were first set, with their first spelling.
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "OVBAK", std::string("x")));
    EXPECT_EQ(RegistryValueNames(Hive::CurrentUser, key), (Names{"", "ovbak", "Alpha"}));
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, key, "ovbak"), "x");
}

TEST_F(Registry, KeysCompareWithoutCaseAndKeepTheFirstSpelling) {
    ASSERT_TRUE(RegistryCreateKey(Hive::CurrentUser, "SOFTWARE\\Microsoft\\Windows"));
    ASSERT_TRUE(
        RegistrySetValue(Hive::CurrentUser, "software\\classes\\.AVI", "", std::string("a")));
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, "Software\\Microsoft\\WINDOWS"));
    EXPECT_EQ(RegistrySubKeys(Hive::CurrentUser, ""), (Names{"SOFTWARE"}));
    EXPECT_EQ(RegistrySubKeys(Hive::CurrentUser, "Software"), (Names{"classes", "Microsoft"}));
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "Software\\Classes\\.avi", ""), "a");
    // Empty components (doubled or outer '\') do not count.
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "\\Software\\\\Classes\\.avi\\", ""), "a");
}

TEST_F(Registry, CreateKeyMakesParentsAndEnumerationListsDirectChildren) {
    ASSERT_TRUE(RegistryCreateKey(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}\\Control"));
    ASSERT_TRUE(
        RegistryCreateKey(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}\\Programmable"));
    ASSERT_TRUE(
        RegistryCreateKey(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}\\MiscStatus\\1"));
    ASSERT_TRUE(RegistryCreateKey(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA} x"));
    ASSERT_TRUE(
        RegistryCreateKey(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}"));  // again
    EXPECT_TRUE(RegistryKeyExists(Hive::LocalMachine, "Software\\Classes\\CLSID"));
    EXPECT_TRUE(
        RegistryKeyExists(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}\\MiscStatus"));
    EXPECT_EQ(RegistrySubKeys(Hive::LocalMachine, "Software\\Classes\\CLSID\\{62BA}"),
              (Names{"Control", "MiscStatus", "Programmable"}));
    EXPECT_EQ(RegistrySubKeys(Hive::LocalMachine, "Software\\Classes\\CLSID"),
              (Names{"{62BA}", "{62BA} x"}));
    EXPECT_TRUE(RegistryValueNames(Hive::LocalMachine, "Software\\Classes\\CLSID").empty());
    EXPECT_TRUE(RegistryCreateKey(Hive::CurrentUser, ""));
}

TEST_F(Registry, DeleteValue) {
    const std::string key = "Software\\Classes\\.mkv";
    EXPECT_TRUE(RegistryDeleteValue(Hive::CurrentUser, key, "ovbak"));  // never existed
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "ovbak", std::string("old")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, "", std::string("orvane.mkv")));
    EXPECT_TRUE(RegistryDeleteValue(Hive::CurrentUser, key, "OVBAK"));
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, key, "ovbak").has_value());
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, key, ""), "orvane.mkv");
    EXPECT_TRUE(RegistryDeleteValue(Hive::CurrentUser, key, ""));
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, key, "").has_value());
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, key));  // the key stays
}

TEST_F(Registry, DeleteKeyOnlyWithoutSubKeys) {
    const std::string base =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp4";
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, base + "\\UserChoice", "ProgId",
                                 std::string("orvane.mp4")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, base, "x", std::int64_t{1}));
    EXPECT_FALSE(RegistryDeleteKey(Hive::CurrentUser, base));  // has UserChoice
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, base));
    EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, base, "x"), 1);
    EXPECT_TRUE(RegistryDeleteKey(Hive::CurrentUser, base + "\\userchoice"));
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, base + "\\UserChoice"));
    EXPECT_FALSE(RegistryDeleteKey(Hive::CurrentUser, base + "\\UserChoice"));  // missing now
    EXPECT_TRUE(RegistryDeleteKey(Hive::CurrentUser, base));
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, base));
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, base, "x").has_value());
    // A key created again starts without the old values.
    ASSERT_TRUE(RegistryCreateKey(Hive::CurrentUser, base));
    EXPECT_TRUE(RegistryValueNames(Hive::CurrentUser, base).empty());
    // A sibling whose name starts like the key is not a sub-key.
    ASSERT_TRUE(RegistryCreateKey(Hive::CurrentUser, base + "x\\child"));
    EXPECT_TRUE(RegistryDeleteKey(Hive::CurrentUser, base));
    EXPECT_FALSE(RegistryDeleteKey(Hive::CurrentUser, ""));  // the root stays
    // So does the root of the classes view, the Classes key behind it.
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\Classes", "", std::string("c")));
    EXPECT_FALSE(RegistryDeleteKey(Hive::ClassesRoot, "\\"));
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, "", ""), "c");
}

TEST_F(Registry, AnyTextRoundTrips) {
    const std::vector<std::string> texts = {
        "",
        " leading and trailing blanks ",
        "a=b==c",
        "back\\slash\\\\double\\",
        "line\nbreaks\r\nand\ttabs",
        "\"quoted\" and 'single'",
        "[brackets] ; semicolon # hash @ at %41 percent",
        "UTF-8: Vidéos — 日本語 — ☃ — 🎬",
        std::string("control \x01\x1f\x7f bytes"),
        "\\x41 \\n not escapes",
    };
    int i = 0;
    for (const std::string& text : texts) {
        // As a value, as a value name and as a key name (a key name cannot hold '\').
        const std::string name = "n" + std::to_string(i) + text;
        std::string keyName = "k" + std::to_string(i++) + text;
        for (char& c : keyName)
            if (c == '\\') c = '/';
        const std::string key = "Software\\Round\\" + keyName;
        ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, key, name, text)) << text;
        EXPECT_EQ(RegistryGetString(Hive::CurrentUser, key, name, "<missing>"), text);
        EXPECT_EQ(ReadInChild(Hive::CurrentUser, key, name), text);
        const Names names = RegistryValueNames(Hive::CurrentUser, key);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0], name);
    }
    const Names keys = RegistrySubKeys(Hive::CurrentUser, "Software\\Round");
    EXPECT_EQ(keys.size(), texts.size());
    for (size_t k = 0; k < texts.size(); ++k) {
        std::string keyName = "k" + std::to_string(k) + texts[k];
        for (char& c : keyName)
            if (c == '\\') c = '/';
        EXPECT_NE(std::find(keys.begin(), keys.end(), keyName), keys.end()) << keyName;
    }
}

TEST_F(Registry, HiveFileIsReadableText) {
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\Classes\\.mp4", "",
                                 std::string("orvane.mp4")));
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\Classes\\.mp4", "ovbak",
                                 std::string("WMP11.AssocFile.MP4")));
    ASSERT_TRUE(
        RegistrySetValue(Hive::CurrentUser, "Software\\Classes\\.mp4", "n", std::int64_t{-3}));
    const std::string text = ReadFile(HiveFile("HKEY_CURRENT_USER"));
    EXPECT_NE(text.find("\n[Software]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n[Software\\Classes]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n[Software\\Classes\\.mp4]\n"
                        "@=\"orvane.mp4\"\n"
                        "\"ovbak\"=\"WMP11.AssocFile.MP4\"\n"
                        "\"n\"=int:-3\n"),
              std::string::npos)
        << text;
}

TEST_F(Registry, ReadsAHandWrittenHive) {
    WriteFile(HiveFile("HKEY_LOCAL_MACHINE"),
              "; written by hand\r\n"
              "\r\n"
              "  [Software\\Classes\\orvane.mp4\\shell\\Open\\command]  \r\n"
              "  @=\"\\\"/opt/orvane/orvane\\\" \\\"%1\\\"\"\r\n"
              "\"Flags\"=int:5\r\n"
              "\"broken\"=unknown:1\r\n"
              "[Software\\100%25 %5Bodd%5D]\r\n");
    EXPECT_EQ(RegistryGetString(Hive::LocalMachine,
                                "Software\\Classes\\orvane.mp4\\shell\\Open\\command", ""),
              "\"/opt/orvane/orvane\" \"%1\"");
    EXPECT_EQ(RegistryGetInt(Hive::LocalMachine,
                             "Software\\Classes\\orvane.mp4\\shell\\Open\\command", "flags"),
              5);
    EXPECT_FALSE(RegistryGetValue(Hive::LocalMachine,
                                  "Software\\Classes\\orvane.mp4\\shell\\Open\\command", "broken"));
    // Parents of a key named in the file exist.
    EXPECT_TRUE(RegistryKeyExists(Hive::LocalMachine, "Software\\Classes\\orvane.mp4\\shell"));
    EXPECT_TRUE(RegistryKeyExists(Hive::LocalMachine, "Software\\100% [odd]"));
}

TEST_F(Registry, AnUnreadableHiveIsNotOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\A", "a", std::string("1")));
    const std::string hive = HiveFile("HKEY_CURRENT_USER");
    const std::string before = ReadFile(hive);
    ::chmod(hive.c_str(), 0200);
    EXPECT_FALSE(RegistrySetValue(Hive::CurrentUser, "Software\\B", "b", std::string("2")));
    EXPECT_FALSE(RegistryDeleteValue(Hive::CurrentUser, "Software\\A", "a"));
    ::chmod(hive.c_str(), 0600);
    EXPECT_EQ(ReadFile(hive), before);
}

TEST_F(Registry, ClassesRootIsTheMergedViewOfBothClassesKeys) {
    const std::string cu = "Software\\Classes\\";
    ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, cu + ".mp4", "", std::string("machine.mp4")));
    ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, cu + ".mp4", "onlyMachine", std::string("m")));
    ASSERT_TRUE(RegistryCreateKey(Hive::LocalMachine, cu + ".mp4\\OpenWithProgids"));
    // Reads fall through to the machine when the user has nothing.
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, ".mp4", ""), "machine.mp4");
    EXPECT_TRUE(RegistryKeyExists(Hive::ClassesRoot, ".MP4"));
    // The user's entry wins, value by value.
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, cu + ".mp4", "", std::string("user.mp4")));
    ASSERT_TRUE(RegistryCreateKey(Hive::CurrentUser, cu + ".mp4\\ShellEx"));
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, ".mp4", ""), "user.mp4");
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, ".mp4", "onlyMachine"), "m");
    EXPECT_EQ(RegistryValueNames(Hive::ClassesRoot, ".mp4"), (Names{"", "onlyMachine"}));
    EXPECT_EQ(RegistrySubKeys(Hive::ClassesRoot, ".mp4"), (Names{"OpenWithProgids", "ShellEx"}));
    EXPECT_EQ(RegistrySubKeys(Hive::ClassesRoot, ""), (Names{".mp4"}));

    // Writes go to the user's key when it exists there...
    ASSERT_TRUE(RegistrySetValue(Hive::ClassesRoot, ".mp4", "w", std::string("1")));
    EXPECT_TRUE(RegistryGetValue(Hive::CurrentUser, cu + ".mp4", "w").has_value());
    EXPECT_FALSE(RegistryGetValue(Hive::LocalMachine, cu + ".mp4", "w").has_value());
    // ...else to the machine's.
    ASSERT_TRUE(RegistrySetValue(Hive::ClassesRoot, "CLSID\\{62BA}\\InprocServer32",
                                 "ThreadingModel", std::string("Apartment")));
    EXPECT_EQ(RegistryGetString(Hive::LocalMachine, cu + "CLSID\\{62BA}\\InprocServer32",
                                "ThreadingModel"),
              "Apartment");
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, cu + "CLSID"));
    ASSERT_TRUE(RegistryCreateKey(Hive::ClassesRoot, "Hallek.OrvaneAX"));
    EXPECT_TRUE(RegistryKeyExists(Hive::LocalMachine, cu + "Hallek.OrvaneAX"));

    // Deleting through the view removes the entry from both, so the view no longer shows it.
    ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, cu + ".mp4", "w", std::string("2")));
    EXPECT_TRUE(RegistryDeleteValue(Hive::ClassesRoot, ".mp4", "w"));
    EXPECT_FALSE(RegistryGetValue(Hive::ClassesRoot, ".mp4", "w").has_value());
    EXPECT_FALSE(RegistryDeleteKey(Hive::ClassesRoot, ".mp4"));  // sub-keys in both hives
    EXPECT_TRUE(RegistryDeleteKey(Hive::ClassesRoot, ".mp4\\ShellEx"));
    EXPECT_TRUE(RegistryDeleteKey(Hive::ClassesRoot, ".mp4\\OpenWithProgids"));
    EXPECT_TRUE(RegistryDeleteKey(Hive::ClassesRoot, ".mp4"));
    EXPECT_FALSE(RegistryKeyExists(Hive::CurrentUser, cu + ".mp4"));
    EXPECT_FALSE(RegistryKeyExists(Hive::LocalMachine, cu + ".mp4"));
}

// The file-type association steps of the player control (register, register again, unregister),
// done the way its registry functions do them.
TEST_F(Registry, FileTypeAssociationRoundTrip) {
    const std::string exe = "/opt/orvane/bin/orvane";
    const std::string classes = "Software\\Classes\\";
    ASSERT_TRUE(
        RegistrySetValue(Hive::CurrentUser, classes + ".mkv", "", std::string("OtherPlayer.mkv")));
    auto registerExt = [&](const std::string& ext) {
        for (Hive root : {Hive::CurrentUser, Hive::LocalMachine}) {
            const std::string key = classes + "." + ext;
            const std::string current = RegistryGetString(root, key, "");
            if (current.rfind("orvane.", 0) != 0) {
                ASSERT_TRUE(RegistrySetValue(root, key, "ovbak", current));
            }
            ASSERT_TRUE(
                RegistrySetValue(root, classes + "orvane." + ext, "", std::string("orvane")));
            ASSERT_TRUE(RegistrySetValue(root, classes + "orvane." + ext + "\\DefaultIcon", "",
                                         "\"" + exe + "\",0"));
            ASSERT_TRUE(RegistrySetValue(root, classes + "orvane." + ext + "\\shell\\Open\\command",
                                         "", "\"" + exe + "\" \"%1\""));
            ASSERT_TRUE(RegistrySetValue(root, key, "", "orvane." + ext));
        }
        const std::string fileExts =
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext;
        RegistryDeleteKey(Hive::CurrentUser, fileExts + "\\UserChoice");
        RegistryDeleteKey(Hive::CurrentUser, fileExts + "\\OpenWithProgids");
        ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, fileExts + "\\UserChoice", "ProgId",
                                     "orvane." + ext));
    };
    auto unregisterExt = [&](const std::string& ext) {
        for (Hive root : {Hive::CurrentUser, Hive::LocalMachine}) {
            const std::string key = classes + "." + ext;
            if (RegistryGetString(root, key, "").rfind("orvane.", 0) == 0) {
                ASSERT_TRUE(RegistrySetValue(root, key, "", RegistryGetString(root, key, "ovbak")));
            }
            ASSERT_TRUE(RegistryDeleteValue(root, key, "ovbak"));
        }
        const std::string fileExts =
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext;
        RegistryDeleteKey(Hive::CurrentUser, fileExts);  // refused: UserChoice is below it
    };

    registerExt("mkv");
    registerExt("mkv");  // the second run keeps the first backup
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, classes + ".mkv", "ovbak"), "OtherPlayer.mkv");
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, ".mkv", ""), "orvane.mkv");
    EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, "orvane.mkv\\shell\\open\\command", ""),
              "\"/opt/orvane/bin/orvane\" \"%1\"");
    // The machine's key had no default: its backup is an empty value.
    auto machineBackup = RegistryGetValue(Hive::LocalMachine, classes + ".mkv", "ovbak");
    ASSERT_TRUE(machineBackup.has_value());
    EXPECT_EQ(std::get<std::string>(*machineBackup), "");

    unregisterExt("mkv");
    EXPECT_EQ(RegistryGetString(Hive::CurrentUser, classes + ".mkv", ""), "OtherPlayer.mkv");
    EXPECT_EQ(RegistryGetString(Hive::LocalMachine, classes + ".mkv", "", "<missing>"), "");
    EXPECT_FALSE(RegistryGetValue(Hive::CurrentUser, classes + ".mkv", "ovbak").has_value());
    EXPECT_FALSE(RegistryGetValue(Hive::LocalMachine, classes + ".mkv", "ovbak").has_value());
    EXPECT_TRUE(RegistryKeyExists(Hive::CurrentUser, classes + "orvane.mkv\\DefaultIcon"));
}

TEST_F(Registry, ProcessesWritingAtOnceLoseNothing) {
    constexpr int kProcesses = 8;
    constexpr int kValues = 40;
    EXPECT_TRUE(testsupport::RunInChildren(kProcesses, [&](int p) {
        bool ok = true;
        for (int v = 0; v < kValues; ++v) {
            const std::string name = "p" + std::to_string(p) + "v" + std::to_string(v);
            // Every process writes into one shared key, into its own key, and (half of them)
            // into the other hive, through the ClassesRoot view.
            ok = RegistrySetValue(Hive::CurrentUser, "Software\\Shared", name,
                                  std::int64_t{p * 1000 + v}) &&
                 ok;
            ok = RegistrySetValue(Hive::CurrentUser, "Software\\P" + std::to_string(p), name,
                                  name) &&
                 ok;
            if (p % 2) ok = RegistrySetValue(Hive::ClassesRoot, "Shared", name, name) && ok;
        }
        return ok;
    }));
    EXPECT_EQ(RegistryValueNames(Hive::CurrentUser, "Software\\Shared").size(),
              static_cast<size_t>(kProcesses * kValues));
    EXPECT_EQ(RegistryValueNames(Hive::ClassesRoot, "Shared").size(),
              static_cast<size_t>(kProcesses / 2 * kValues));
    for (int p = 0; p < kProcesses; ++p) {
        for (int v = 0; v < kValues; ++v) {
            const std::string name = "p" + std::to_string(p) + "v" + std::to_string(v);
            EXPECT_EQ(RegistryGetInt(Hive::CurrentUser, "Software\\Shared", name, -1),
                      p * 1000 + v);
            EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "Software\\P" + std::to_string(p), name),
                      name);
        }
    }
    // No temporary files are left beside the hives.
    for (const auto& entry : fs::directory_iterator(RegistryDirectory())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "HKEY_CURRENT_USER.hive" || name == "HKEY_LOCAL_MACHINE.hive" ||
                    name == ".lock")
            << name;
    }
}

TEST_F(Registry, ThreadsWritingAtOnceLoseNothing) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int v = 0; v < 25; ++v)
                RegistrySetValue(Hive::LocalMachine, "Software\\T",
                                 "t" + std::to_string(t) + "v" + std::to_string(v),
                                 std::int64_t{v});
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(RegistryValueNames(Hive::LocalMachine, "Software\\T").size(), 100u);
}

TEST_F(Registry, ATransactionIsSeenWholeAndWritesEachChangedHiveOnce) {
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\A", "kept", std::string("1")));
    ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, "Software\\A", "kept", std::string("1")));
    testsupport::RenamesInto writes(RegistryDirectory());
    ASSERT_TRUE(writes.Watching());
    {
        RegistryTransaction transaction;
        for (int i = 0; i < 50; ++i) {
            const std::string key = "Software\\Classes\\.e" + std::to_string(i);
            ASSERT_TRUE(
                RegistrySetValue(Hive::CurrentUser, key, "", "orvane.e" + std::to_string(i)));
            ASSERT_TRUE(RegistrySetValue(Hive::ClassesRoot, key.substr(17), "x", std::int64_t{i}));
        }
        // Deleted and made again: the hive ends as it began.
        ASSERT_TRUE(RegistryDeleteValue(Hive::LocalMachine, "Software\\A", "kept"));
        ASSERT_TRUE(RegistrySetValue(Hive::LocalMachine, "Software\\A", "kept", std::string("1")));
        // This thread sees its changes; the files other processes read hold none of them yet.
        EXPECT_EQ(RegistryGetString(Hive::ClassesRoot, ".e7", ""), "orvane.e7");
        EXPECT_EQ(ReadFile(HiveFile("HKEY_CURRENT_USER")).find(".e7"), std::string::npos);
        ASSERT_TRUE(transaction.Commit()) << transaction.Error();
    }
    {
        SCOPED_TRACE("after the transaction");
        EXPECT_EQ(ReadInChild(Hive::CurrentUser, "Software\\Classes\\.e49", "x"), "49");
    }
    EXPECT_EQ(writes.Take(), (std::map<std::string, int>{{"HKEY_CURRENT_USER.hive", 1}}));
    {
        RegistryTransaction nothingChanges;
        RegistrySetValue(Hive::CurrentUser, "Software\\A", "kept", std::string("1"));
    }
    EXPECT_EQ(writes.Take(), (std::map<std::string, int>{}));
}

TEST_F(Registry, ATransactionThatCannotWriteSaysWhyAndChangesNothing) {
    ASSERT_TRUE(RegistrySetValue(Hive::CurrentUser, "Software\\A", "a", std::string("1")));
    struct Case {
        const char* name;
        std::function<void()> block;
        const char* reason;
    };
    const std::string folder = RegistryDirectory();
    const Case cases[] = {
        {"registry folder in the way of a file",
         [&] {
             fs::rename(folder, folder + ".moved");
             WriteFile(folder, "not a folder");
         },
         "cannot make"},
        // Root writes into every folder, so the folder's permissions stop only other users.
        {"read-only registry folder", [&] { ::chmod(folder.c_str(), 0500); }, "cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.reason) == "cannot write" && ::geteuid() == 0) continue;
        c.block();
        RegistryTransaction transaction;
        RegistrySetValue(Hive::CurrentUser, "Software\\A", "a", std::string("2"));
        EXPECT_FALSE(transaction.Commit());
        EXPECT_NE(transaction.Error().find(c.reason), std::string::npos) << transaction.Error();
        ::chmod(folder.c_str(), 0700);
        if (fs::is_regular_file(folder)) {
            fs::remove(folder);
            fs::rename(folder + ".moved", folder);
        }
        EXPECT_EQ(RegistryGetString(Hive::CurrentUser, "Software\\A", "a"), "1");
    }
}
